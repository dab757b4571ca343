#include "app/ApplicationTitle.h"
#include "app/QtDesktop.h"
#include "app/QtTranslation.h"
#include "app/TForm1.h"
#include "common/ErrorBoxText.h"
#include "common/InterruptCleanup.h"
#include "common/ProcessHardening.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv)
{
    ordalis::DisableCoreDumps();
    ordalis::InstallProcessSignalHandling();

    QApplication application(argc, argv);
    ordalis::InstallQtTranslation(application);
    const QString title = ordalis::ApplicationTitle(QCoreApplication::applicationFilePath());
    QApplication::setApplicationName(title);
    QGuiApplication::setDesktopFileName(QStringLiteral("ordalis")); // ties the window to ordalis.desktop
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));

    ordalis::QtDesktop desktop(title);
    ordalis::TForm1 form(desktop);
    desktop.setOwner(&form);
    form.show();

    // Say plainly at start when the GOST algorithms cannot work, rather than
    // failing later with an obscure code; the window stays usable.
    const std::string selfTest = ordalis::CryptoSelfTest();
    if (!selfTest.empty())
        desktop.showError(ordalis::ErrorBoxText(selfTest));

    return QApplication::exec();
}
