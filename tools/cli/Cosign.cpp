#include "tools/cli/Cosign.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/FileContent.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/messages/SignerRaising.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreApi.h"
#include "tools/cli/CliTexts.h"
#include "tools/cli/SignatureFile.h"

#include <limits>

namespace ordalis::cli {

namespace {

OperationResult ReportFailedCall(DesktopSeam& desktop)
{
    desktop.showNotice(ErrorReportText(GetLastError()), NoticeKind::Failure);
    return {};
}

} // namespace

OperationResult CosignFile(const std::string& file, const std::string& signatureFile, SignatureForm form,
                           DesktopSeam& desktop, const LongTermRequest* longTerm)
{
    ScopedPasswordPrompt prompt(desktop);
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    CertContextPtr certificate(desktop.selectSigningCertificate(store.get(), "Укажите сертификат для подписи"));
    if (!certificate) {
        desktop.showNotice(ordalis::texts::kNoCertificateChosen, NoticeKind::Failure);
        return {};
    }
    const HeldSignature held = ReadHeldSignature(signatureFile);
    const FileContent content = FileContent::load(file);
    EvpPkeyPtr key = CertificateKey(certificate.get());
    if (!key)
        return ReportFailedCall(desktop);

    const ByteView parts[] = {content.bytes()};
    SignatureOptions options;
    options.form = form;
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::size_t invalidSigner = kNone;
    std::optional<OutgoingMessage> message =
        AddSigner(held.der, parts, CertContextX509(certificate.get()), key.get(), options, &invalidSigner);
    if (!message && invalidSigner != kNone)
        throw Error(tools::Say(texts::kCosignOverInvalidSigner, {signatureFile, file, std::to_string(invalidSigner + 1),
                                                                 ErrorReportText(GetLastError())}));
    if (message && longTerm)
        RaiseNewestSigner(message->cms(), *longTerm);
    std::optional<ByteBuffer> der = message ? message->toDer() : std::nullopt;
    if (!der)
        return ReportFailedCall(desktop);
    SaveFileAtomically(signatureFile, EncodeLikeHeld(der->bytes(), held));
    desktop.showNotice(tools::Say(texts::kSignerAdded, {signatureFile}), NoticeKind::Info);
    return {true, {signatureFile}};
}

} // namespace ordalis::cli
