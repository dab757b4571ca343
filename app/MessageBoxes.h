#pragma once

#include <QString>

class QWidget;

namespace ordalis {

// A notice: no icon, the title as caption, the text word-wrapped, one "OK"
// button that Enter and Esc both press, centred on the screen. Modal for the
// whole application; parent keeps it above the main window.
void ShowNoticeBox(QWidget* parent, const QString& title, const QString& text);

// The error box: like a notice, with the error (stop) icon.
void ShowErrorBox(QWidget* parent, const QString& title, const QString& text);

} // namespace ordalis
