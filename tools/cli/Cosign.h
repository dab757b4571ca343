#pragma once

#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/Operations.h"

#include <string>

namespace ordalis::cli {

// Adds a signer, by the certificate the dialog answers with, to the signature
// of file held in signatureFile, once every signer there holds over file; the
// signature file is then replaced, keeping its form (detached or attached) and
// encoding. The added signer is raised as longTerm asks, when given. Throws
// Error for what the user must be told.
OperationResult CosignFile(const std::string& file, const std::string& signatureFile, SignatureForm form,
                           DesktopSeam& desktop, const LongTermRequest* longTerm = nullptr);

} // namespace ordalis::cli
