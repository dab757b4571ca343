#include "cryptomsg/messages/MessageRecipient.h"

#include <openssl/err.h>

namespace ordalis {

namespace {

bool AgreementAddressedTo(CMS_RecipientInfo* recipient, X509* certificate)
{
    STACK_OF(CMS_RecipientEncryptedKey)* keys = CMS_RecipientInfo_kari_get0_reks(recipient);
    for (int i = 0; keys && i < sk_CMS_RecipientEncryptedKey_num(keys); ++i)
        if (CMS_RecipientEncryptedKey_cert_cmp(sk_CMS_RecipientEncryptedKey_value(keys, i), certificate) == 0)
            return true;
    return false;
}

// The originator of a key agreement: true when it comes as a public key (no
// certificate needed) or when its certificate is among the message's.
bool FindOriginator(CMS_ContentInfo* cms, CMS_RecipientInfo* recipient, X509Ptr& originator)
{
    X509_ALGOR* keyAlgorithm = nullptr;
    ASN1_BIT_STRING* publicKey = nullptr;
    ASN1_OCTET_STRING* keyId = nullptr;
    X509_NAME* issuer = nullptr;
    ASN1_INTEGER* serial = nullptr;
    if (CMS_RecipientInfo_kari_get0_orig_id(recipient, &keyAlgorithm, &publicKey, &keyId, &issuer, &serial) != 1)
        return false;
    if (publicKey)
        return true;
    X509StackPtr certificates(CMS_get1_certs(cms));
    for (int i = 0; certificates && i < sk_X509_num(certificates.get()); ++i) {
        X509* candidate = sk_X509_value(certificates.get(), i);
        if (CMS_RecipientInfo_kari_orig_id_cmp(recipient, candidate) == 0) {
            X509_up_ref(candidate);
            originator.reset(candidate);
            return true;
        }
    }
    return false;
}

} // namespace

bool FindRecipientFor(CMS_ContentInfo* cms, X509* certificate, RecipientMatch& match)
{
    STACK_OF(CMS_RecipientInfo)* recipients = CMS_get0_RecipientInfos(cms);
    bool usable = false;
    bool refused = false;
    for (int i = 0; !refused && recipients && i < sk_CMS_RecipientInfo_num(recipients); ++i) {
        CMS_RecipientInfo* recipient = sk_CMS_RecipientInfo_value(recipients, i);
        switch (CMS_RecipientInfo_type(recipient)) {
        case CMS_RECIPINFO_TRANS:
            usable = usable || CMS_RecipientInfo_ktri_cert_cmp(recipient, certificate) == 0;
            break;
        case CMS_RECIPINFO_AGREE:
            // Decryption tries every key-agreement entry addressed to the
            // certificate, and the GOST engine crashes deriving a key from a
            // named originator it has not been given: one such entry refuses them all.
            if (AgreementAddressedTo(recipient, certificate)) {
                refused = !FindOriginator(cms, recipient, match.originator);
                usable = !refused;
            }
            break;
        default: break;
        }
    }
    // Looking up certificates in a message without any queues errors that mean nothing here.
    ERR_clear_error();
    return usable && !refused;
}

} // namespace ordalis
