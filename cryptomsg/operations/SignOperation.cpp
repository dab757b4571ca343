#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileContent.h"
#include "common/FileStream.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/operations/CoreSignature.h"
#include "cryptomsg/operations/OperationSupport.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/SignStreamed.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreApi.h"
#include "sevenzip/PackSignedFile.h"

#include <exception>

namespace ordalis {

namespace {

// The hash that goes with the certificate's GOST public-key algorithm; any other
// key gets the empty identifier and is refused by the message service.
const char* HashAlgorithmFor(const char* keyAlgorithm)
{
    const GostAlgorithm* gost = GostAlgorithmForKey(keyAlgorithm);
    return gost ? gost->hashOid : "";
}

void ReportFailedCall(DesktopSeam& desktop)
{
    const std::uint32_t code = GetLastError();
    desktop.showNotice(ErrorReportText(code), NoticeKind::Failure);
}

// The packing, with the library's own count of the bytes packed shown as it goes.
std::string PackWithProgress(DesktopSeam& desktop, const std::string& source, const std::string& signature,
                             std::uint64_t bytes, const std::string& library)
{
    std::string archive;
    desktop.runLongStep({"Упаковка в архив 7z", source, bytes}, [&](StepProgress& progress) {
        archive = PackSignedFile(source, signature, library, [&progress](bool isTotal, std::uint64_t value) {
            isTotal ? progress.setTotal(value) : progress.setDone(value);
        });
    });
    return archive;
}

std::uint64_t FileSizeOf(const std::string& path)
{
    return static_cast<std::uint64_t>(FileStream::openRead(path).size());
}

} // namespace

OperationResult SignOperation(SignTab& tab, DesktopSeam& desktop, const SignOptions& options)
{
    ScopedPasswordPrompt prompt(desktop);
    const bool attached = tab.attachedChecked();

    // Declared so that they are released certificate first, then provider, then store.
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    ProviderPtr provider;
    CertContextPtr certificate(desktop.selectSigningCertificate(store.get(), "Укажите сертификат для подписи"));
    if (!certificate) {
        desktop.showNotice(texts::kNoCertificateChosen, NoticeKind::Failure);
        tab.clearFileToSign();
        tab.uncheckAttached();
        return {};
    }

    const std::string source = tab.fileToSign();
    const StreamedSigning streamed{attached, tab.base64Checked(), options.form,
                                   options.longTerm ? &*options.longTerm : nullptr};
    bool streaming = tab.signsStreamed() && SignsStreamed(streamed);
    // The file is opened before the key is asked for, so that its errors come first,
    // as when it is loaded. OpenSSL's streaming fails on empty content with the
    // GOST engine: an empty file is signed whole.
    if (streaming && FileStream::openRead(source).size() == 0 && attached)
        streaming = false;
    FileContent content;
    ByteBuffer signedMessage, armoured;
    const char* hashAlgorithm = HashAlgorithmFor(certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId);
    if (!streaming) {
        content = FileContent::load(source);
        RefuseLargerThanOneCall(content.length());
    }

    PCCERT_CONTEXT messageCertificates[] = {certificate.get()};
    CRYPT_SIGN_MESSAGE_PARA para{};
    para.cbSize = kSignMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.pSigningCert = certificate.get();
    para.HashAlgorithm.pszObjId = hashAlgorithm;
    para.cMsgCert = 1;
    para.rgpMsgCert = messageCertificates;
    const BYTE* parts[] = {content.data()};
    const DWORD partSizes[] = {static_cast<DWORD>(content.length())};

    HCRYPTPROV acquired = nullptr;
    DWORD keySpec = 0;
    if (!CryptAcquireCertificatePrivateKey(certificate.get(), 0, nullptr, &acquired, &keySpec, nullptr)) {
        desktop.showNotice("Не удалось определить криптопровайдер", NoticeKind::Failure);
        tab.uncheckAttached();
        return {};
    }
    provider.reset(acquired);

    std::string output;
    std::uint64_t packedBytes = 0;
    if (streaming) {
        EvpPkeyPtr key = CertificateKey(certificate.get());
        const std::optional<std::string> written =
            key ? SignStreamed(certificate.get(), key.get(), source, streamed, desktop) : std::nullopt;
        if (!written) {
            ReportFailedCall(desktop);
            tab.uncheckAttached();
            return {};
        }
        desktop.showNotice("Подписанное сообщение создано");
        output = *written;
        packedBytes = FileSizeOf(source) + FileSizeOf(output);
        tab.uncheckBase64();
        tab.uncheckAttached();
    } else {
        const LongStep signing{"Подпись файла", source, content.length()};
        if (options.form != SignatureForm::NoAttributes) {
            EvpPkeyPtr key = CertificateKey(certificate.get());
            // Raising the signer asks network services, which may fail with their own words;
            // the failure is carried out of the step (which may run on another thread).
            std::exception_ptr raising;
            const LongTermRequest* longTerm = options.longTerm ? &*options.longTerm : nullptr;
            const bool signedOk = key && RunLongCall(desktop, signing, [&] {
                                      try {
                                          return SignWithCore(certificate.get(), key.get(), attached, content.bytes(),
                                                              options.form, signedMessage, longTerm);
                                      } catch (...) {
                                          raising = std::current_exception();
                                          return false;
                                      }
                                  });
            if (raising) {
                tab.uncheckAttached();
                std::rethrow_exception(raising);
            }
            if (!signedOk) {
                ReportFailedCall(desktop);
                tab.uncheckAttached();
                return {};
            }
        } else {
            DWORD size = 0;
            if (!CryptSignMessage(&para, !attached, 1, parts, partSizes, nullptr, &size)) {
                ReportFailedCall(desktop);
                tab.uncheckAttached();
                return {};
            }
            signedMessage.setSize(size);
            size = static_cast<DWORD>(signedMessage.length());
            if (!RunLongCall(desktop, signing, [&] {
                    return CryptSignMessage(&para, !attached, 1, parts, partSizes, signedMessage.data(), &size);
                })) {
                ReportFailedCall(desktop);
                return {};
            }
            signedMessage.setSize(size);
        }
        desktop.showNotice("Подписанное сообщение создано");

        if (tab.base64Checked()) {
            output = source + ".p7s";
            signedMessage.setPosition(0);
            ArmourEncode(signedMessage, armoured);
            armoured.saveToFile(output);
        } else {
            output = source + ".sig";
            signedMessage.saveToFile(output);
        }
        tab.uncheckBase64();
        tab.uncheckAttached();
        packedBytes = content.length() + signedMessage.length();
    }

    OperationResult result{true, {output}};
    if (tab.packChecked()) {
        const std::string archive = PackWithProgress(desktop, source, output, packedBytes, options.sevenZipLibrary);
        desktop.showNotice("Создан архив:" + archive);
        tab.uncheckPack();
        tab.uncheckAttached();
        result.outputs.push_back(archive);
    }

    signedMessage = ByteBuffer();
    content = FileContent();
    armoured = ByteBuffer();
    tab.clearFileToSign();
    certificate.reset();
    provider.reset();
    store.reset();
    tab.uncheckAttached();
    desktop.openFolder(FolderOf(output));
    return result;
}

} // namespace ordalis
