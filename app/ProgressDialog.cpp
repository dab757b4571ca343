#include "app/ProgressDialog.h"

#include "cryptomsg/store/KeyPasswordPrompt.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <exception>
#include <thread>

namespace ordalis {

namespace {

constexpr int kTextWidth = 420;
constexpr int kBarSteps = 1000;
constexpr int kRefreshMilliseconds = 50;

// Written by the worker, read by the dialog's timer.
class SharedProgress final : public StepProgress {
public:
    void setTotal(std::uint64_t total) override { m_total.store(total, std::memory_order_relaxed); }
    void setDone(std::uint64_t done) override { m_done.store(done, std::memory_order_relaxed); }
    std::uint64_t total() const { return m_total.load(std::memory_order_relaxed); }
    std::uint64_t done() const { return m_done.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> m_total{0};
    std::atomic<std::uint64_t> m_done{0};
};

// Dialogs belong to the main thread: a password asked for on the worker is
// asked there, while the worker waits for the answer.
class MainThreadPrompt final : public PasswordPrompt {
public:
    explicit MainThreadPrompt(PasswordPrompt& prompt) : m_prompt(prompt) {}
    std::optional<std::string> askPassword(const std::string& what, int attempt) override
    {
        QCoreApplication* application = QCoreApplication::instance();
        if (QThread::currentThread() == application->thread())
            return m_prompt.askPassword(what, attempt);
        std::optional<std::string> answer;
        QMetaObject::invokeMethod(
            application, [&] { answer = m_prompt.askPassword(what, attempt); }, Qt::BlockingQueuedConnection);
        return answer;
    }

private:
    PasswordPrompt& m_prompt;
};

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent, const QString& title, const LongStep& step)
    : QDialog(parent), m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("progressDialog"));
    setWindowTitle(title);
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);
    const QString file = QString::fromStdString(step.file);
    auto* action = new QLabel(QString::fromStdString(step.action) + QLatin1Char(':'), this);
    action->setObjectName(QStringLiteral("progressAction"));
    auto* name = new QLabel(fontMetrics().elidedText(file, Qt::ElideMiddle, kTextWidth), this);
    name->setObjectName(QStringLiteral("progressFile"));
    name->setTextFormat(Qt::PlainText);
    name->setToolTip(file);
    m_bar->setObjectName(QStringLiteral("progressBar"));
    m_bar->setTextVisible(false);
    m_bar->setMinimumWidth(kTextWidth);
    showProgress(0, 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(action);
    layout->addWidget(name);
    layout->addWidget(m_bar);
    setWindowModality(Qt::ApplicationModal);
}

void ProgressDialog::showProgress(std::uint64_t done, std::uint64_t total)
{
    if (total == 0) {
        m_bar->setRange(0, 0);
        return;
    }
    m_bar->setRange(0, kBarSteps);
    m_bar->setValue(static_cast<int>(std::min(done, total) * kBarSteps / total));
}

void ProgressDialog::reject() {}

void ProgressDialog::closeEvent(QCloseEvent* event) { event->ignore(); }

void RunBehindProgressDialog(QWidget* parent, const QString& title, const LongStep& step,
                             const std::function<void(StepProgress&)>& work, PasswordPrompt& prompt)
{
    ProgressDialog dialog(parent, title, step);
    SharedProgress progress;
    MainThreadPrompt forwarded(prompt);
    std::exception_ptr failure;
    QEventLoop loop;
    QTimer refresh;
    refresh.setInterval(kRefreshMilliseconds);
    QObject::connect(&refresh, &QTimer::timeout, &dialog,
                     [&] { dialog.showProgress(progress.done(), progress.total()); });
    dialog.show();
    refresh.start();
    std::thread worker([&] {
        ScopedPasswordPrompt scoped(forwarded);
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued, so it ends the loop even when the work is done before the loop runs.
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    refresh.stop();
    dialog.hide();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace ordalis
