// Qt's own texts follow the user's locale.

#include "app/QtTranslation.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>

namespace ordalis::test {
namespace {

QString CancelText()
{
    QDialogButtonBox box(QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&'));
}

// Removes what a test installed, so the other tests see Qt's English.
void RemoveInstalledTranslators()
{
    for (QTranslator* translator : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(translator);
        const std::unique_ptr<QTranslator> owned(translator);
    }
}

TEST(QtTranslation, RussianLocaleGivesRussianPlatformDialogs)
{
    ASSERT_TRUE(InstallQtTranslation(*qApp, QLocale(QLocale::Russian, QLocale::Russia)))
        << "qtbase_ru.qm is not installed (Debian: qt6-translations-l10n)";
    EXPECT_EQ(CancelText(), QStringLiteral("Отмена"));
    // The window's open-file dialog is Qt's own, so it speaks Russian too.
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList buttons;
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        buttons.append(button->text().remove(QLatin1Char('&')));
    EXPECT_TRUE(buttons.contains(QStringLiteral("Открыть"))) << buttons.join(u',').toStdString();
    RemoveInstalledTranslators();
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

TEST(QtTranslation, EnglishLocaleKeepsQtsEnglish)
{
    InstallQtTranslation(*qApp, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
    RemoveInstalledTranslators();
}

} // namespace
} // namespace ordalis::test
