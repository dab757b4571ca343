#pragma once

#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/SignatureVerdict.h"
#include "tools/cli/TerminalDesktop.h"

#include <optional>
#include <string>

namespace ordalis::cli {

struct VerifyChoices {
    bool details = false;                  // the signers, attributes and trust as text after the report
    VerdictRules rules;                    // --trusted, --revocation
    std::optional<std::string> extract;    // where an attached signature's content goes
    std::optional<std::string> signerCert; // a file with the signer's certificate
};

// Verifies a signature over a file, or (file == signature) over the content the
// signature carries: the window's report lines (of the first signer), then the
// details and the --json fields of every signer. Valid only when every signer
// is (and trusted, with rules.trusted); the content is extracted only then. A
// signature file that is no signature is an error (thrown).
OperationResult VerifyFile(const std::string& file, const std::string& signature, const VerifyChoices& choices,
                           TerminalDesktop& desktop);

} // namespace ordalis::cli
