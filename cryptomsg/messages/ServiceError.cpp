#include "cryptomsg/messages/ServiceError.h"

#include <openssl/err.h>

namespace ordalis {

namespace {

std::string RussianText(ServiceFailure failure, const std::string& url, const std::string& detail)
{
    const std::string tail = detail.empty() ? std::string() : ": " + detail;
    switch (failure) {
    case ServiceFailure::BadAddress: return "Неподходящий адрес службы " + url + tail;
    case ServiceFailure::NoAnswer: return "Служба " + url + " не ответила" + tail;
    case ServiceFailure::Refused: return "Служба " + url + " отказала" + tail;
    case ServiceFailure::BadAnswer: return "Ответ службы " + url + " не удалось разобрать" + tail;
    case ServiceFailure::FailedCheck: return "Ответ службы " + url + " не прошел проверку" + tail;
    }
    return url + tail;
}

} // namespace

ServiceError::ServiceError(ServiceFailure failure, std::string url, std::string detail)
    : Error(RussianText(failure, url, detail)), m_failure(failure), m_url(std::move(url)), m_detail(std::move(detail))
{
}

std::string DrainOpenSslWords()
{
    std::string words;
    const char* data = nullptr;
    int flags = 0;
    while (const unsigned long code = ERR_get_error_all(nullptr, nullptr, nullptr, &data, &flags)) {
        const char* reason = ERR_reason_error_string(code);
        std::string one = reason ? reason : "error " + std::to_string(ERR_GET_REASON(code));
        if (data && *data && (flags & ERR_TXT_STRING))
            one += " (" + std::string(data) + ")";
        words += words.empty() ? one : "; " + one;
    }
    return words;
}

} // namespace ordalis
