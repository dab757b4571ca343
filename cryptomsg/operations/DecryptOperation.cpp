#include "cryptomsg/operations/DecryptOperation.h"

#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/ErrorCodes.h"
#include "common/FileContent.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MissingSender.h"
#include "cryptomsg/operations/DecryptStreamed.h"
#include "cryptomsg/operations/OperationSupport.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/PemMessage.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreNames.h"

#include <span>
#include <sys/stat.h>
#include <vector>

namespace ordalis {

namespace {

constexpr const char* kShortNameText =
    "Имя файла слишком короткое: без последних четырех символов от него не остается имени, "
    "расшифрованный файл не записан";

// With four characters or fewer after the last "/", cutting four would aim the
// output at the folder itself or above it.
bool NameTooShort(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::size_t nameLength = slash == std::string::npos ? path.size() : path.size() - slash - 1;
    return nameLength <= 4;
}

// The stores a decryption reads. The key is the personal store's (the only
// one that keeps keys); a sender's certificate that key agreement needs and the
// message does not carry is looked for in all of them, other people's first.
class DecryptionStores {
public:
    DecryptionStores()
    {
        for (const char* name : {kAddressBookStore, kPersonalStore, kCaStore, kRootStore})
            m_handles.push_back(CertOpenSystemStoreA(nullptr, name));
    }
    DecryptionStores(const DecryptionStores&) = delete;
    DecryptionStores& operator=(const DecryptionStores&) = delete;
    ~DecryptionStores() { close(); }

    void close()
    {
        for (HCERTSTORE handle : m_handles)
            if (handle)
                CertCloseStore(handle, CERT_CLOSE_STORE_CHECK_FLAG);
        m_handles.clear();
    }
    std::span<HCERTSTORE> handles() { return m_handles; }

private:
    std::vector<HCERTSTORE> m_handles;
};

// Decrypts the whole input into content; false with the Error report shown when a pass is refused.
bool Decrypt(std::span<HCERTSTORE> stores, const std::string& inputName, std::span<const unsigned char> input,
             ByteBuffer& content, DecryptTab& tab, DesktopSeam& desktop)
{
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = static_cast<DWORD>(stores.size());
    para.rghCertStore = stores.data();

    const auto inputSize = static_cast<DWORD>(input.size());
    DWORD size = 0;
    if (!CryptDecryptMessage(&para, input.data(), inputSize, nullptr, &size, nullptr)) {
        const std::uint32_t error = GetLastError();
        const std::optional<OriginatorName> missing =
            error == codes::NoDecryptCert ? MissingSenderCertificate(para, input.data(), inputSize) : std::nullopt;
        desktop.showNotice(ErrorReportText(error), NoticeKind::Failure);
        if (missing)
            tab.senderCertificateMissing(*missing);
        return false;
    }
    content.setSize(size);
    size = static_cast<DWORD>(content.length());
    const LongStep decrypting{"Расшифрование файла", inputName, input.size()};
    if (!RunLongCall(desktop, decrypting, [&] {
            return CryptDecryptMessage(&para, input.data(), inputSize, content.data(), &size, nullptr);
        })) {
        desktop.showNotice(ErrorReportText(GetLastError()), NoticeKind::Failure);
        return false;
    }
    content.setSize(size);
    return true;
}

} // namespace

std::string DecryptedFileName(const std::string& path)
{
    return path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
}

OperationResult DecryptOperation(DecryptTab& tab, DesktopSeam& desktop)
{
    ScopedPasswordPrompt prompt(desktop);
    const std::string inputName = tab.fileToDecrypt();
    std::string outputName;
    {
        DecryptionStores stores;
        FileContent input;
        ByteBuffer content;
        // Every way out, an error included, releases the buffers (the content
        // wiped), closes the stores and resets the tab, in that order.
        ScopeExit cleanUp([&] {
            content.wipe();
            input = FileContent();
            stores.close();
            tab.resetSelection();
        });
        if (!inputName.empty() && NameTooShort(inputName)) {
            desktop.showNotice(kShortNameText, NoticeKind::Failure);
            return {};
        }
        FileStream envelope = FileStream::openRead(inputName);
        // The plaintext is never readable by more people than its envelope was.
        const OutputMode outputMode = OutputMode::NoMoreThan(envelope.permissions() | S_IRWXU);
        outputName = DecryptedFileName(inputName);
        if (tab.decryptsStreamed() && CanDecryptStreamed(envelope)) {
            if (!DecryptStreamed(stores.handles(), envelope, outputName, outputMode, tab, desktop))
                return {};
        } else {
            // Refused before it is read: a file read whole must fit one call.
            RefuseLargerThanOneCall(static_cast<std::size_t>(envelope.size()));
            input = FileContent::load(envelope);
            envelope.close();
            std::span<const unsigned char> message = input.bytes();
            const std::optional<std::vector<unsigned char>> unarmoured =
                tab.readsPemArmour() ? PemMessageDer(message) : std::nullopt;
            if (unarmoured)
                message = *unarmoured;
            if (!Decrypt(stores.handles(), inputName, message, content, tab, desktop))
                return {};
            content.saveToFile(outputName, outputMode);
        }
        desktop.showNotice("Расшифрован");
    }
    desktop.openFolder(FolderOf(inputName));
    return {true, {outputName}};
}

} // namespace ordalis
