#pragma once

// The four operations, written once for the window and the command line.
// Each reads and resets its tab, talks to the user through the desktop seam,
// and throws Error for what the user must see in the error box.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/LongTermRequest.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/OperationTabs.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ordalis {

struct SignOptions {
    // The 7z library loaded for packing (bare name first, then the distribution folders).
    std::string sevenZipLibrary = "7z.so";
    // The window's signatures have no signed attributes; the command line may ask for CAdES-BES.
    SignatureForm form = SignatureForm::NoAttributes;
    // A CAdES-BES signer raised further (timestamps, revocation values) before it is written.
    std::optional<LongTermRequest> longTerm;
};

// What an operation wrote, for the command line's summary.
struct OperationResult {
    bool succeeded = false;
    std::vector<std::string> outputs;
};

OperationResult SignOperation(SignTab& tab, DesktopSeam& desktop, const SignOptions& options = {});
// Runs VerifyDetachedSignature, then resets the tab's selection.
OperationResult VerifyOperation(VerifyTab& tab, DesktopSeam& desktop);
OperationResult EncryptOperation(EncryptTab& tab, DesktopSeam& desktop);
// Encrypts the tab's file into one envelope for every recipient given, instead
// of the one its controls choose; the first recipient's key algorithm names the
// content cipher. The file is encrypted as it is read (the command line's way),
// into an envelope with indefinite lengths.
OperationResult EncryptOperationFor(EncryptTab& tab, DesktopSeam& desktop, std::span<const PCCERT_CONTEXT> recipients);
OperationResult DecryptOperation(DecryptTab& tab, DesktopSeam& desktop);

} // namespace ordalis
