#pragma once

#include "common/AtomicFileWriter.h"
#include "common/FileStream.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/OperationTabs.h"

#include <span>
#include <string>

namespace ordalis {

// Whether the envelope can be decrypted as it is read: a DER or BER message
// (PEM armour and anything else are read whole). Leaves the stream at its start.
bool CanDecryptStreamed(FileStream& envelope);

// Decrypts the envelope from its stream into outputName, which appears only
// when the whole envelope was read, checked and decrypted. False with the
// Error report shown when the envelope is refused.
bool DecryptStreamed(std::span<HCERTSTORE> stores, FileStream& envelope, const std::string& outputName,
                     OutputMode outputMode, DecryptTab& tab, DesktopSeam& desktop);

} // namespace ordalis
