#pragma once

// Driving modal dialogs from inside their own event loops.

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

namespace ordalis::test {

// Calls act on each modal window that comes to the top, from inside its loop,
// until act returns true. act must not open a dialog itself (this timer does
// not fire again while act runs): it queues such clicks with Queued().
// A dialog still open after ten seconds is closed, so a test fails, not hangs.
class OnModals {
public:
    explicit OnModals(std::function<bool(QWidget*)> act) : m_act(std::move(act))
    {
        m_watchdog.start();
        m_poll.setInterval(5);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && m_watchdog.hasExpired(10000)) {
                ADD_FAILURE() << "a dialog was left open: " << modal->windowTitle().toStdString();
                modal->close();
                return;
            }
            if (modal == nullptr || !modal->isVisible() || modal == m_last)
                return;
            m_last = modal;
            if (m_act(modal))
                m_poll.stop();
        });
        m_poll.start();
    }

private:
    std::function<bool(QWidget*)> m_act;
    QTimer m_poll;
    QElapsedTimer m_watchdog;
    QWidget* m_last = nullptr;
};

// Clicks once the current timer callback has returned.
inline void Queued(QPushButton* button)
{
    QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
}

} // namespace ordalis::test
