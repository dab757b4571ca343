#include "tools/cli/Enhance.h"

#include "common/AtomicFileWriter.h"
#include "cryptomsg/messages/SignatureRaising.h"
#include "tools/cli/CliTexts.h"
#include "tools/cli/SignatureFile.h"

namespace ordalis::cli {

OperationResult EnhanceFile(const std::string& signatureFile, const LongTermRequest& request, DesktopSeam& desktop)
{
    const HeldSignature held = ReadHeldSignature(signatureFile);
    const std::vector<unsigned char> raised = RaiseSignature(held.der, request);
    SaveFileAtomically(signatureFile, EncodeLikeHeld(raised, held));
    desktop.showNotice(
        tools::Say(texts::kSignatureEnhanced,
                   {signatureFile, request.level == LongTermLevel::XLong1 ? "CAdES-X Long Type 1" : "CAdES-T"}),
        NoticeKind::Info);
    return {true, {signatureFile}};
}

} // namespace ordalis::cli
