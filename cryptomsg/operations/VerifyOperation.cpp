#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"

namespace ordalis {

OperationResult VerifyOperation(VerifyTab& tab, DesktopSeam& desktop)
{
    const bool valid = VerifyDetachedSignature(tab.signatureFile(), tab.fileToVerify(), tab, desktop);
    tab.resetSelection();
    return {valid, {}};
}

} // namespace ordalis
