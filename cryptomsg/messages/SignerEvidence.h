#pragma once

// What a signer carries beyond CAdES-BES, checked: its timestamps, its level,
// and the certificate and revocation values it holds for later verification.

#include "cryptomsg/messages/TimestampCheck.h"
#include "cryptomsg/messages/ValidationAttributes.h"

#include <openssl/cms.h>

#include <optional>
#include <vector>

namespace ordalis {

enum class SignatureLevel { Bes, T, XLong1 };

struct SignerEvidence {
    SignatureLevel level = SignatureLevel::Bes;
    std::vector<TimestampFinding> timestamps; // signature timestamps first, then the validation-data ones
    std::vector<X509Ptr> certificateValues;
    RevocationValues revocationValues;

    // The earliest time a valid signature timestamp proves; nothing without one.
    std::optional<TimestampFinding> provenTime() const;
    // The certificate values as OpenSSL's calls take them.
    std::vector<X509*> certificates() const;
    std::vector<X509_CRL*> crls() const;
    std::vector<OCSP_BASICRESP*> ocspAnswers() const;
};

// Reads and checks every timestamp of the signer; carried are the message's certificates.
SignerEvidence ExamineSignerEvidence(CMS_SignerInfo* signer, std::span<X509* const> carried);

// "BES", "T", "XLT1".
const char* SignatureLevelName(SignatureLevel level);

} // namespace ordalis
