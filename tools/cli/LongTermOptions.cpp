#include "tools/cli/LongTermOptions.h"

#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTexts.h"

#include <charconv>

namespace ordalis::cli {

namespace {

LongTermLevel LevelFrom(const std::optional<std::string>& word)
{
    if (!word || *word == "t")
        return LongTermLevel::T;
    if (*word == "xlt1")
        return LongTermLevel::XLong1;
    throw UsageError(tools::Say(texts::kUnknownLevel, {*word}));
}

int TimeoutFrom(const std::optional<std::string>& word)
{
    if (!word)
        return TimestampService{}.timeoutSeconds;
    int seconds = 0;
    const auto [end, error] = std::from_chars(word->data(), word->data() + word->size(), seconds);
    if (error != std::errc() || end != word->data() + word->size() || seconds < 1 || seconds > 3600)
        throw UsageError(tools::Say(texts::kBadTimeout, {*word}));
    return seconds;
}

} // namespace

std::optional<LongTermRequest> LongTermRequestFrom(const CliOptions& options)
{
    const std::optional<std::string> tsa = options.value("--tsa");
    if (!tsa) {
        for (const char* needsTsa : {"--level", "--timeout", "--ocsp", "--fetch-crls"})
            if (options.flag(needsTsa))
                throw UsageError(tools::Say(texts::kNeedsTsa, {needsTsa}));
        return std::nullopt;
    }
    LongTermRequest request;
    request.tsa = {*tsa, TimeoutFrom(options.value("--timeout"))};
    request.level = LevelFrom(options.value("--level"));
    request.ocspUrl = options.value("--ocsp");
    request.fetchCrls = options.flag("--fetch-crls");
    return request;
}

std::optional<OnlineRevocation> OnlineRevocationFrom(const CliOptions& options)
{
    const std::optional<std::string> url = options.value("--ocsp");
    if (!url && !options.flag("--online")) {
        if (options.flag("--timeout"))
            throw UsageError(tools::Say(texts::kTimeoutNeedsOnline));
        return std::nullopt;
    }
    return OnlineRevocation{url, TimeoutFrom(options.value("--timeout"))};
}

std::string ServiceErrorText(const ServiceError& error)
{
    const std::string detail = error.detail().empty() ? std::string() : ": " + error.detail();
    switch (error.failure()) {
    case ServiceFailure::BadAddress: return tools::Say(texts::kServiceBadAddress, {error.url(), detail});
    case ServiceFailure::NoAnswer: return tools::Say(texts::kServiceNoAnswer, {error.url(), detail});
    case ServiceFailure::Refused: return tools::Say(texts::kServiceRefused, {error.url(), detail});
    case ServiceFailure::BadAnswer: return tools::Say(texts::kServiceBadAnswer, {error.url(), detail});
    case ServiceFailure::FailedCheck: return tools::Say(texts::kServiceFailedCheck, {error.url(), detail});
    }
    return error.what();
}

} // namespace ordalis::cli
