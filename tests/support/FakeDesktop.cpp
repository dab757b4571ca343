#include "tests/support/FakeDesktop.h"

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/StoreApi.h"

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

} // namespace ordalis::test
