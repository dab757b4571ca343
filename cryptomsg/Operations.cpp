// Placeholder until the operations land: each reports that it is not available yet.
#include "cryptomsg/Operations.h"

#include "common/Error.h"

namespace ordalis {

OperationResult SignOperation(SignTab&, DesktopSeam&, const SignOptions&) { throw Error("not available yet"); }
OperationResult VerifyOperation(VerifyTab&, DesktopSeam&) { throw Error("not available yet"); }
OperationResult EncryptOperation(EncryptTab&, DesktopSeam&) { throw Error("not available yet"); }
OperationResult DecryptOperation(DecryptTab&, DesktopSeam&) { throw Error("not available yet"); }

} // namespace ordalis
