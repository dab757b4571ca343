#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/ErrorCodes.h"
#include "common/FileContent.h"
#include "common/FileStream.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/operations/EncryptStreamed.h"
#include "cryptomsg/operations/OperationSupport.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/store/StoreApi.h"

#include <vector>

namespace ordalis {

namespace {

CertContextPtr ChooseRecipient(EncryptTab& tab, DesktopSeam& desktop, HCERTSTORE store, ByteBuffer& certificateBytes)
{
    if (!tab.certificateFromFileChecked())
        return CertContextPtr(desktop.selectCertificate(store, "Укажите сертификат для шифрования"));
    certificateBytes.loadFromFile(tab.certificateFile());
    // Bytes that are not one DER certificate (a PEM file, say) give no recipient.
    return CertContextPtr(CertCreateCertificateContext(kEncodingType, certificateBytes.data(),
                                                       static_cast<DWORD>(certificateBytes.length())));
}

// Encrypts source for the recipients (the first one's key algorithm names the
// content cipher) and writes the enveloped message; returns the output name.
std::string EncryptFor(std::span<const PCCERT_CONTEXT> recipientList, const std::string& sourceName,
                       const FileContent& source, DesktopSeam& desktop)
{
    CRYPT_ENCRYPT_MESSAGE_PARA para{};
    para.cbSize = kEncryptMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.ContentEncryptionAlgorithm.pszObjId =
        recipientList.front()->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
    std::vector<PCCERT_CONTEXT> recipients(recipientList.begin(), recipientList.end());
    const DWORD count = static_cast<DWORD>(recipients.size());

    DWORD size = 0;
    Win32Check(CryptEncryptMessage(&para, count, recipients.data(), source.data(), static_cast<DWORD>(source.length()),
                                   nullptr, &size));
    ByteBuffer output;
    output.setSize(size);
    size = static_cast<DWORD>(output.length());
    const LongStep encrypting{"Шифрование файла", sourceName, source.length()};
    Win32Check(RunLongCall(desktop, encrypting, [&] {
        return CryptEncryptMessage(&para, count, recipients.data(), source.data(), static_cast<DWORD>(source.length()),
                                   output.data(), &size);
    }));
    output.setSize(size);
    const std::string outputName = sourceName + ".enc";
    output.saveToFile(outputName);
    desktop.showNotice("Файл зашифрован");
    return outputName;
}

} // namespace

OperationResult EncryptOperation(EncryptTab& tab, DesktopSeam& desktop)
{
    const std::string sourceName = tab.fileToEncrypt();
    std::string outputName;
    {
        // Every way out, an error included, leaves the tab reset.
        ScopeExit resetTab([&tab] { tab.resetControls(); });
        const FileContent source = FileContent::load(sourceName);
        RefuseLargerThanOneCall(source.length());

        CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
        ByteBuffer certificateBytes;
        CertContextPtr recipient = ChooseRecipient(tab, desktop, store.get(), certificateBytes);
        if (!recipient) {
            desktop.showNotice(texts::kNoCertificateChosen, NoticeKind::Failure);
            tab.clearFileLabel();
            tab.disableEncryptButton();
            tab.clearFileToEncrypt();
        } else {
            try {
                const PCCERT_CONTEXT only[] = {recipient.get()};
                outputName = EncryptFor(only, sourceName, source, desktop);
            } catch (...) {
                recipient.reset();
                throw;
            }
            Win32Check(CertFreeCertificateContext(recipient.release()));
        }
        Win32Check(CertCloseStore(store.release(), CERT_CLOSE_STORE_CHECK_FLAG));
    }
    if (outputName.empty())
        return {};
    desktop.openFolder(FolderOf(sourceName));
    tab.clearFileToEncrypt();
    tab.clearCertificateFile();
    return {true, {outputName}};
}

OperationResult EncryptOperationFor(EncryptTab& tab, DesktopSeam& desktop, std::span<const PCCERT_CONTEXT> recipients)
{
    if (recipients.empty())
        throw Error(SystemErrorText(codes::InvalidArg));
    const std::string sourceName = tab.fileToEncrypt();
    std::string outputName;
    {
        ScopeExit resetTab([&tab] { tab.resetControls(); });
        // OpenSSL's streaming fails on empty content with the GOST engine's
        // cipher; an empty file is encrypted whole (into DER).
        if (FileStream::openRead(sourceName).size() != 0) {
            outputName = EncryptStreamed(recipients, sourceName, desktop);
        } else {
            const FileContent source = FileContent::load(sourceName);
            outputName = EncryptFor(recipients, sourceName, source, desktop);
        }
    }
    desktop.openFolder(FolderOf(sourceName));
    tab.clearFileToEncrypt();
    return {true, {outputName}};
}

} // namespace ordalis
