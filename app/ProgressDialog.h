#pragma once

#include "cryptomsg/operations/DesktopSeam.h"

#include <QDialog>

#include <cstdint>

class QLabel;
class QProgressBar;

namespace ordalis {

// The dialog shown while a long step runs: the application's title, what is
// done to which file, and a bar that shows the bytes done when the step tells
// them and a busy indicator when it does not. It has no cancel button and
// neither Esc nor the window's close button ends it: the step runs to its end.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* parent, const QString& title, const LongStep& step);

    // total 0: nothing known yet, the bar shows that work goes on.
    void showProgress(std::uint64_t done, std::uint64_t total);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* m_bar;
};

// Runs work on a thread of its own behind a modal progress dialog, while this
// thread's event loop keeps the windows painted; returns when work has ended
// and passes on what it threw. A key's password asked for by work is asked
// through prompt on this thread.
void RunBehindProgressDialog(QWidget* parent, const QString& title, const LongStep& step,
                             const std::function<void(StepProgress&)>& work, PasswordPrompt& prompt);

} // namespace ordalis
