#include "cryptomsg/Operations.h"
#include "cryptomsg/VerifyDetachedSignature.h"

namespace ordalis {

OperationResult VerifyOperation(VerifyTab& tab, DesktopSeam& desktop)
{
    const bool valid = VerifyDetachedSignature(tab.signatureFile(), tab.fileToVerify(), tab, desktop);
    tab.resetSelection();
    return {valid, {}};
}

} // namespace ordalis
