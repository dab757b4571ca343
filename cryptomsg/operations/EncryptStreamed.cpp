#include "cryptomsg/operations/EncryptStreamed.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/FileStream.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/messages/EnvelopeWriting.h"

#include <vector>

namespace ordalis {

std::string EncryptStreamed(std::span<const PCCERT_CONTEXT> recipientList, const std::string& sourceName,
                            DesktopSeam& desktop)
{
    std::vector<X509*> recipients;
    for (PCCERT_CONTEXT recipient : recipientList)
        recipients.push_back(CertContextX509(recipient));
    FileStream source = FileStream::openRead(sourceName);
    const auto size = static_cast<std::uint64_t>(source.size());
    const std::string outputName = sourceName + ".enc";
    // Written under no name until commit: a failure or a kill leaves nothing.
    AtomicFileWriter output(outputName);
    bool encrypted = false;
    std::uint32_t error = 0;
    TransferFailure failure;
    desktop.runLongStep({"Шифрование файла", sourceName, size}, [&](StepProgress& progress) {
        progress.setTotal(size);
        encrypted = EncryptStream(
            recipients, source.fd(), output.stream().fd(),
            [&progress](std::uint64_t done, std::uint64_t) { progress.setDone(done); }, failure);
        error = GetLastError();
    });
    if (failure.readError != 0)
        ThrowInOutError(failure.readError, sourceName);
    if (failure.writeError != 0)
        ThrowInOutError(failure.writeError, outputName);
    SetLastError(error);
    Win32Check(encrypted);
    output.commit();
    desktop.showNotice("Файл зашифрован");
    return outputName;
}

} // namespace ordalis
