// Detached verification from a signature file of arbitrary bytes, as the verify
// operation runs it: the first-line test for Base64, the decoding, the
// verification against the fixed content and the report.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "fuzz/FuzzDesktop.h"
#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace ordalis;

namespace {

class ReportTab : public VerifyTab {
public:
    std::string fileToVerify() const override { return {}; }
    std::string signatureFile() const override { return {}; }
    void clearReport() override { lines.clear(); }
    void appendReportLine(const std::string& line) override { lines.push_back(line); }
    void resetSelection() override {}

    std::vector<std::string> lines;
};

std::string ContentFile() { return fuzz::ScratchFolder() + "/content"; }
std::string SignatureFile() { return fuzz::ScratchFolder() + "/content.sig"; }

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    fuzz::WriteFile(ContentFile(), fuzz::kFixedContent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::WriteFile(SignatureFile(), data, size);
    ReportTab tab;
    fuzz::FuzzDesktop desktop;
    // Both files can be read, so whatever the signature holds, the answer is a report, never an exception.
    const bool valid = VerifyDetachedSignature(SignatureFile(), ContentFile(), tab, desktop);
    // The signer is shown for a valid signature only, and the report says which it was.
    fuzz::Require(valid == (desktop.viewed != nullptr));
    fuzz::Require(tab.lines.size() >= 2 && tab.lines[1].substr(0, 1) == (valid ? "V" : "X"));
    return 0;
}
