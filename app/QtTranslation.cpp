#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace ordalis {

bool InstallQtTranslation(QCoreApplication& application, const QLocale& locale)
{
    auto translator = std::make_unique<QTranslator>();
    // Tries the locale's languages in order (ru_RU, then ru); without one Qt
    // keeps its built-in English.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(&application); // the application owns it from here
    QCoreApplication::installTranslator(translator.release());
    return true;
}

} // namespace ordalis
