#include "tools/cli/ExamineSignatureFile.h"

#include "common/FileStream.h"
#include "cryptomsg/messages/SignedStreamReading.h"
#include "tools/cli/InputSize.h"
#include "tools/cli/SignatureFile.h"

#include <openssl/err.h>

#include <exception>
#include <functional>

namespace ordalis::cli {

namespace {

// Whether the file holds binary BER, a SEQUENCE whose length takes more than its
// first octet (any signature does), rather than Base64 or PEM text, whose
// characters are all below 0x80.
bool StartsAsBer(const std::string& path)
{
    FileStream in = FileStream::openRead(path);
    unsigned char first[2] = {};
    return in.read(first, 2) == 2 && first[0] == (V_ASN1_SEQUENCE | V_ASN1_CONSTRUCTED) && first[1] >= 0x80;
}

// Runs work as the desktop's long step over the file, carrying what it throws out of the step.
void RunStep(TerminalDesktop& desktop, const std::string& file, std::uint64_t size,
             const std::function<void(const StreamProgress&)>& work)
{
    std::exception_ptr thrown;
    desktop.runLongStep({"Проверка подписи", file, size}, [&](StepProgress& progress) {
        progress.setTotal(size);
        try {
            work([&progress](std::uint64_t done, std::uint64_t) { progress.setDone(done); });
        } catch (...) {
            thrown = std::current_exception();
        }
    });
    if (thrown)
        std::rethrow_exception(thrown);
}

// A signature read whole (a detached one is small), over a file read as it is
// digested or over the content the signature carries.
ExaminedFile ExamineWhole(const std::string& file, const std::string& signature, bool attachedAlone,
                          std::span<X509* const> atHand, TerminalDesktop& desktop)
{
    CheckInputSize(signature);
    ExaminedFile examined;
    examined.der = ReadSignatureFile(signature);
    if (attachedAlone) {
        examined.report = ExamineSignature(examined.der, nullptr, atHand);
        return examined;
    }
    FileStream content = FileStream::openRead(file);
    RunStep(desktop, file, static_cast<std::uint64_t>(content.size()), [&](const StreamProgress& progress) {
        examined.report = ExamineSignatureOver(examined.der, FeedFrom(content, progress), atHand);
    });
    return examined;
}

// An attached signature in binary BER, of any size: its content is digested
// (and written for --extract, unpublished) as it is read.
ExaminedFile ExamineAttachedStream(const std::string& signature, const std::optional<std::string>& extract,
                                   std::span<X509* const> atHand, TerminalDesktop& desktop)
{
    ExaminedFile examined;
    FileStream in = FileStream::openRead(signature);
    if (extract)
        examined.extracted = std::make_unique<AtomicFileWriter>(*extract);
    std::optional<StreamedSignedData> read;
    RunStep(desktop, signature, static_cast<std::uint64_t>(in.size()), [&](const StreamProgress& progress) {
        read = ReadSignedStream(in, examined.extracted ? &examined.extracted->stream() : nullptr, progress);
    });
    if (!read) {
        examined.extracted.reset();
        examined.report.failure = SignatureFailure::NotASignature;
        ERR_clear_error();
        return examined;
    }
    examined.report = ExamineDigestedSignature(read->cms.get(), read->digests.get(), atHand);
    examined.der = std::move(read->der);
    examined.streamedContent = read->carriesContent;
    return examined;
}

} // namespace

ExaminedFile ExamineSignatureFile(const std::string& file, const std::string& signature,
                                  const std::optional<std::string>& extract, std::span<X509* const> atHand,
                                  TerminalDesktop& desktop)
{
    const bool attachedAlone = file == signature;
    return attachedAlone && StartsAsBer(signature) ? ExamineAttachedStream(signature, extract, atHand, desktop)
                                                   : ExamineWhole(file, signature, attachedAlone, atHand, desktop);
}

} // namespace ordalis::cli
