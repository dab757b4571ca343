#include "cryptomsg/operations/SignStreamed.h"

#include "armour/Armour.h"
#include "common/AtomicFileWriter.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileStream.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/messages/SignedDataStream.h"
#include "cryptomsg/messages/SignerRaising.h"

#include <exception>

namespace ordalis {

namespace {

SignatureOptions OptionsFor(X509* signer, const StreamedSigning& how, X509* (&carried)[1])
{
    carried[0] = signer;
    SignatureOptions options;
    options.certificates = carried;
    options.form = how.form;
    return options;
}

// A detached signature is small whatever the file: it is made whole, then written.
std::optional<ByteBuffer> SignDetachedFile(X509* signer, EVP_PKEY* key, FileStream& source, const StreamedSigning& how,
                                           StepProgress& progress)
{
    X509* carried[1] = {};
    const SignatureOptions options = OptionsFor(signer, how, carried);
    std::optional<OutgoingMessage> message = SignDetachedFed(
        signer, key, FeedFrom(source, [&progress](std::uint64_t done, std::uint64_t) { progress.setDone(done); }),
        options);
    if (message && how.longTerm)
        RaiseNewestSigner(message->cms(), *how.longTerm);
    return message ? message->toDer() : std::nullopt;
}

void SaveDetached(ByteBuffer& der, const std::string& output, bool base64)
{
    if (!base64)
        return der.saveToFile(output);
    ByteBuffer armoured;
    der.setPosition(0);
    ArmourEncode(der, armoured);
    armoured.saveToFile(output);
}

// Writes the attached signature into output; false with the last error set.
bool SignAttachedFile(X509* signer, EVP_PKEY* key, FileStream& source, const StreamedSigning& how,
                      AtomicFileWriter& output, StepProgress& progress)
{
    X509* carried[1] = {};
    const SignatureOptions options = OptionsFor(signer, how, carried);
    // Base64 is made from the finished BER, kept meanwhile in a file that
    // never gets a name.
    std::optional<AtomicFileWriter> ber;
    if (how.base64)
        ber.emplace(output.target() + ".ber");
    FileStream& signedOut = ber ? ber->stream() : output.stream();
    TransferFailure failure;
    const bool signedOk = SignAttachedStream(
        signer, key, options, source.fd(), signedOut.fd(),
        [&progress](std::uint64_t done, std::uint64_t) { progress.setDone(done); }, failure);
    const std::uint32_t error = GetLastError();
    if (failure.readError != 0)
        ThrowInOutError(failure.readError, source.path());
    if (failure.writeError != 0)
        ThrowInOutError(failure.writeError, output.target());
    if (!signedOk) {
        SetLastError(error);
        return false;
    }
    if (ber) {
        signedOut.seek(0, SeekOrigin::Begin);
        ArmourEncode(signedOut, output.stream());
    }
    return true;
}

} // namespace

bool SignsStreamed(const StreamedSigning& how) { return !(how.attached && how.longTerm); }

std::optional<std::string> SignStreamed(PCCERT_CONTEXT certificate, EVP_PKEY* key, const std::string& source,
                                        const StreamedSigning& how, DesktopSeam& desktop)
{
    X509* signer = CertContextX509(certificate);
    FileStream input = FileStream::openRead(source);
    const auto size = static_cast<std::uint64_t>(input.size());
    const std::string output = source + (how.base64 ? ".p7s" : ".sig");
    std::optional<AtomicFileWriter> attachedOut;
    if (how.attached)
        attachedOut.emplace(output); // written under no name until commit
    std::optional<ByteBuffer> detached;
    bool signedOk = false;
    std::uint32_t error = 0;
    // Errors are carried out of the step, which may run on another thread.
    std::exception_ptr thrown;
    desktop.runLongStep({"Подпись файла", source, size}, [&](StepProgress& progress) {
        progress.setTotal(size);
        try {
            if (attachedOut)
                signedOk = SignAttachedFile(signer, key, input, how, *attachedOut, progress);
            else
                signedOk = (detached = SignDetachedFile(signer, key, input, how, progress)).has_value();
        } catch (...) {
            thrown = std::current_exception();
        }
        error = GetLastError();
    });
    if (thrown)
        std::rethrow_exception(thrown);
    SetLastError(error);
    if (!signedOk)
        return std::nullopt;
    if (attachedOut)
        attachedOut->commit();
    else
        SaveDetached(*detached, output, how.base64);
    return output;
}

} // namespace ordalis
