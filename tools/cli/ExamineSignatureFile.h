#pragma once

// A signature file read and every signer checked, the files read as they are
// digested: the signed file beside a signature, and an attached signature in
// binary form with the content it carries, which may be of any size.

#include "common/AtomicFileWriter.h"
#include "cryptomsg/messages/SignatureExamination.h"
#include "tools/cli/TerminalDesktop.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis::cli {

// A signature examined, and what the report and --extract need of it.
struct ExaminedFile {
    SignatureReport report;
    std::vector<unsigned char> der; // the message (without a streamed content), for its signers' evidence
    bool streamedContent = false;
    std::unique_ptr<AtomicFileWriter> extracted; // the streamed content for --extract, unpublished until the verdict

    bool carriesContent() const { return streamedContent || report.embeddedContent.has_value(); }
};

// Examines the signature over the file, or (file == signature) over the content
// it carries, which goes to extract (when given) as it is read, to be committed
// only when the verdict is valid. Signature files read whole (Base64, PEM, a
// signature beside its file) must be within the size limit. A signature file
// that is no signature gives report.failure NotASignature; file errors are thrown.
ExaminedFile ExamineSignatureFile(const std::string& file, const std::string& signature,
                                  const std::optional<std::string>& extract, std::span<X509* const> atHand,
                                  TerminalDesktop& desktop);

} // namespace ordalis::cli
