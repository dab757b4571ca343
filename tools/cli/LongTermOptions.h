#pragma once

// The command line's options for long-term signatures and its words for the
// failures of the services they call.

#include "cryptomsg/messages/LongTermRequest.h"
#include "cryptomsg/messages/OnlineRevocation.h"
#include "cryptomsg/messages/ServiceError.h"

#include <optional>
#include <string>

namespace ordalis::cli {

struct CliOptions;

// What --tsa, --level, --timeout, --ocsp and --fetch-crls ask for; nothing
// without --tsa. Throws UsageError for a level or timeout it cannot read, or
// for those options without --tsa.
std::optional<LongTermRequest> LongTermRequestFrom(const CliOptions& options);

// What verify's --online, --ocsp and --timeout ask for; nothing without
// --online or --ocsp. Throws UsageError for a timeout it cannot read or one given alone.
std::optional<OnlineRevocation> OnlineRevocationFrom(const CliOptions& options);

// One sentence in the user's language, ending with what became of the output.
std::string ServiceErrorText(const ServiceError& error);

} // namespace ordalis::cli
