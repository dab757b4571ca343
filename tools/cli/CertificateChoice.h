#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "tools/cli/TerminalDesktop.h"

#include <optional>
#include <string>
#include <vector>

namespace ordalis::cli {

// The certificate a batch uses: the one --cert names, or (without --cert, on a
// terminal) the one the user picks from the list of certificates with keys.
// Null with problem set when the ID is unknown or ambiguous (the candidates are
// listed) or nobody can be asked.
CertContextPtr ChooseCertificate(const std::optional<std::string>& id, bool needKey, Terminal& terminal,
                                 std::string& problem);

// A recipient's certificate by its ID, from the personal store or the address
// book. Null with problem set when the ID names none or several (each listed with
// the store it is in).
CertContextPtr ChooseRecipientCertificate(const std::string& id, std::string& problem);

// The user's own certificate, one with a private key in the personal store:
// the only one there, or the one the user picks on a terminal. Null with
// problem set when there is none, or several and nobody can be asked.
CertContextPtr ChooseOwnCertificate(Terminal& terminal, std::string& problem);

// "subject (serial number …, valid to …)", as the lists of candidates show a certificate.
std::string CertificateLine(PCCERT_CONTEXT certificate);

} // namespace ordalis::cli
