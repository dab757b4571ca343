#pragma once

#include "cryptomsg/messages/LongTermRequest.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/Operations.h"

#include <string>

namespace ordalis::cli {

// Raises every signer of the signature file to the level asked and replaces
// the file, keeping its encoding. Throws Error for what the user must be told.
OperationResult EnhanceFile(const std::string& signatureFile, const LongTermRequest& request, DesktopSeam& desktop);

} // namespace ordalis::cli
