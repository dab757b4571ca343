#include "cryptomsg/operations/DecryptStreamed.h"

#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/messages/MessageDecryptStream.h"

namespace ordalis {

bool CanDecryptStreamed(FileStream& envelope)
{
    unsigned char first = 0;
    const bool sequence = envelope.read(&first, 1) == 1 && first == 0x30;
    envelope.setPosition(0);
    return sequence;
}

bool DecryptStreamed(std::span<HCERTSTORE> stores, FileStream& envelope, const std::string& outputName,
                     OutputMode outputMode, DecryptTab& tab, DesktopSeam& desktop)
{
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = static_cast<DWORD>(stores.size());
    para.rghCertStore = stores.data();

    // Written under no name until commit: a refused envelope or a kill leaves nothing.
    AtomicFileWriter output(outputName, outputMode);
    const auto size = static_cast<std::uint64_t>(envelope.size());
    const LongStep decrypting{"Расшифрование файла", envelope.path(), size};
    std::optional<OriginatorName> missing;
    bool decrypted = false;
    std::uint32_t error = 0;
    desktop.runLongStep(decrypting, [&](StepProgress& progress) {
        progress.setTotal(size);
        decrypted = DecryptMessageStream(
            para, envelope, output.stream(), [&progress](std::uint64_t done, std::uint64_t) { progress.setDone(done); },
            missing);
        error = GetLastError();
    });
    if (!decrypted) {
        desktop.showNotice(ErrorReportText(error), NoticeKind::Failure);
        if (missing)
            tab.senderCertificateMissing(*missing);
        return false;
    }
    output.commit();
    return true;
}

} // namespace ordalis
