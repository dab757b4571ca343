#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "tools/common/Terminal.h"

#include <string>
#include <utility>
#include <vector>

namespace ordalis::cli {

// Whether the options name any recipient (--cert, --cert-file or --self).
bool NamesRecipients(const std::vector<std::pair<std::string, std::string>>& sequence);

// The recipients of an envelope from the options in the order given: --cert
// from the personal store or the address book, --cert-file from a DER certificate file, --self the
// user's own certificate. A certificate named twice is kept once. Empty, with
// problem set, when one cannot be had.
std::vector<CertContextPtr> ChooseRecipients(const std::vector<std::pair<std::string, std::string>>& sequence,
                                             tools::Terminal& terminal, std::string& problem);

// Whether envelopes can be written for the certificate's key.
bool HasGostKey(PCCERT_CONTEXT certificate);

} // namespace ordalis::cli
