#include "cryptomsg/operations/DecryptOperation.h"

#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileContent.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/operations/OperationSupport.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/PemMessage.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreApi.h"

#include <limits>
#include <sys/stat.h>

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

// Decrypts the whole input into content; false with the Error report shown when a pass is refused.
bool Decrypt(HCERTSTORE store, const std::string& inputName, std::span<const unsigned char> input, ByteBuffer& content,
             DesktopSeam& desktop)
{
    HCERTSTORE stores[] = {store};
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = 1;
    para.rghCertStore = stores;

    const auto inputSize = static_cast<DWORD>(input.size());
    DWORD size = 0;
    if (!CryptDecryptMessage(&para, input.data(), inputSize, nullptr, &size, nullptr)) {
        desktop.showNotice(ErrorReportText(GetLastError()), NoticeKind::Failure);
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
        CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
        FileContent input;
        ByteBuffer content;
        // Every way out, an error included, releases the buffers (the content
        // wiped), closes the store and resets the tab, in that order.
        ScopeExit cleanUp([&] {
            content.wipe();
            input = FileContent();
            CertCloseStore(store.release(), CERT_CLOSE_STORE_CHECK_FLAG);
            tab.resetSelection();
        });
        if (!inputName.empty() && NameTooShort(inputName)) {
            desktop.showNotice(kShortNameText, NoticeKind::Failure);
            return {};
        }
        FileStream envelope = FileStream::openRead(inputName);
        // The plaintext is never readable by more people than its envelope was.
        const OutputMode outputMode = OutputMode::NoMoreThan(envelope.permissions() | S_IRWXU);
        input = FileContent::load(envelope);
        envelope.close();
        if (input.length() > std::numeric_limits<DWORD>::max())
            throw Error(texts::kFileTooLarge);
        std::span<const unsigned char> message = input.bytes();
        const std::optional<std::vector<unsigned char>> unarmoured =
            tab.readsPemArmour() ? PemMessageDer(message) : std::nullopt;
        if (unarmoured)
            message = *unarmoured;
        if (!Decrypt(store.get(), inputName, message, content, desktop))
            return {};
        outputName = DecryptedFileName(inputName);
        content.saveToFile(outputName, outputMode);
        desktop.showNotice("Расшифрован");
    }
    desktop.openFolder(FolderOf(inputName));
    return {true, {outputName}};
}

} // namespace ordalis
