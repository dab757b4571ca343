#pragma once

// Raising a CAdES-BES signer to a long-term level.

#include "cryptomsg/messages/LongTermRequest.h"

#include <openssl/cms.h>

namespace ordalis {

// Adds to the signer what the level asks for and it lacks, keeping every
// attribute it has. Throws ServiceError or Error; the signer may then hold a
// part of what was asked, so the message must not be written.
void RaiseSigner(CMS_ContentInfo* cms, CMS_SignerInfo* signer, const LongTermRequest& request);

// The same for the signer added last to the message (the one just signed).
void RaiseNewestSigner(CMS_ContentInfo* cms, const LongTermRequest& request);

} // namespace ordalis
