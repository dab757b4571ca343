#pragma once

#include <QLocale>

class QCoreApplication;

namespace ordalis {

// Loads Qt's own translation (qtbase) for the locale into the application, so
// the platform's dialogs and menus speak the user's language; the program's own
// texts do not depend on it. Returns whether a translation was found. The
// translator is a child of the application and lives as long as it.
bool InstallQtTranslation(QCoreApplication& application, const QLocale& locale = QLocale());

} // namespace ordalis
