#include "tests/support/FakeDesktop.h"

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreApi.h"

#include <exception>
#include <mutex>
#include <thread>

namespace ordalis::test {

namespace {

template <class T>
std::optional<T> Next(std::deque<std::optional<T>>& queue)
{
    if (queue.empty())
        return std::nullopt;
    auto answer = queue.front();
    queue.pop_front();
    return answer;
}

} // namespace

std::optional<std::string> FakeDesktop::chooseOpenFile(const OpenFileRequest& request)
{
    fileRequests.push_back(request);
    auto answer = Next(fileAnswers);
    calls.push_back("file: " + request.dialogName + " -> " + (answer ? *answer : std::string("<cancel>")));
    return answer;
}

void FakeDesktop::showNotice(const std::string& text, NoticeKind kind)
{
    calls.push_back(std::string(kind == NoticeKind::Failure ? "failure: " : "notice: ") + text);
    notices.push_back(text);
}

void FakeDesktop::showError(const std::string& text)
{
    calls.push_back("error: " + text);
    errors.push_back(text);
}

void FakeDesktop::openFolder(const std::string& folder)
{
    calls.push_back("folder: " + folder);
    folders.push_back(folder);
}

const CERT_CONTEXT* FakeDesktop::selectCertificate(CertStore* store, const std::string& title)
{
    certificateTitles.push_back(title);
    calls.push_back("select certificate: " + title);
    if (onSelectCertificate)
        return onSelectCertificate(store, title);
    const auto index = Next(certificateAnswers);
    if (!index)
        return nullptr;
    PCCERT_CONTEXT context = nullptr;
    for (int i = 0; (context = CertEnumCertificatesInStore(store, context)) != nullptr; ++i)
        if (i == *index)
            return context; // the enumeration's reference becomes the caller's
    return nullptr;
}

void FakeDesktop::viewCertificate(const CERT_CONTEXT*)
{
    ++viewedCertificates;
    calls.push_back("view certificate");
}

std::optional<std::string> FakeDesktop::askPassword(const std::string& what, int attempt)
{
    calls.push_back("password: " + what + " #" + std::to_string(attempt));
    return Next(passwordAnswers);
}

namespace {

class RecordedProgress final : public StepProgress {
public:
    explicit RecordedProgress(FakeDesktop& desktop) : m_desktop(desktop) {}
    void setTotal(std::uint64_t total) override
    {
        const std::lock_guard lock(m_mutex);
        m_desktop.progressTotals.push_back(total);
    }
    void setDone(std::uint64_t done) override
    {
        const std::lock_guard lock(m_mutex);
        m_desktop.progressDone.push_back(done);
    }

private:
    FakeDesktop& m_desktop;
    std::mutex m_mutex; // the 7-Zip library reports from several threads
};

} // namespace

void FakeDesktop::runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work)
{
    longSteps.push_back(step.action + ": " + step.file + " (" + std::to_string(step.bytes) + ")");
    RecordedProgress progress(*this);
    if (!longStepsOnAThread) {
        work(progress);
        return;
    }
    std::exception_ptr failure;
    std::thread worker([&] {
        ScopedPasswordPrompt prompt(*this); // the window asks on its own thread for the worker
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace ordalis::test
