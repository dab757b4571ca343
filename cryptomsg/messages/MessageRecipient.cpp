#include "cryptomsg/messages/MessageRecipient.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/store/CertificateIds.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

#include <vector>

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

std::string UpperHex(const ASN1_OCTET_STRING* bytes)
{
    std::vector<char> text(2 * static_cast<std::size_t>(ASN1_STRING_length(bytes)) + 1);
    if (OPENSSL_buf2hexstr_ex(text.data(), text.size(), nullptr, ASN1_STRING_get0_data(bytes),
                              static_cast<std::size_t>(ASN1_STRING_length(bytes)), '\0') != 1)
        return {};
    return text.data();
}

OriginatorName NameOf(const ASN1_OCTET_STRING* keyId, const X509_NAME* issuer, const ASN1_INTEGER* serial)
{
    OriginatorName name;
    if (issuer) {
        name.issuer = FormatName(issuer, NameStyle::ShortName);
        name.serialHex = SerialNumberHex(serial);
    }
    if (keyId)
        name.keyIdHex = UpperHex(keyId);
    return name;
}

X509* FirstOriginator(CMS_RecipientInfo* recipient, std::span<X509* const> candidates)
{
    for (X509* candidate : candidates)
        if (CMS_RecipientInfo_kari_orig_id_cmp(recipient, candidate) == 0)
            return candidate;
    return nullptr;
}

// The originator of a key agreement: true when it comes as a public key (no
// certificate needed) or when its certificate is among the message's or those
// at hand; otherwise, when it is named, what names it.
bool FindOriginator(CMS_ContentInfo* cms, CMS_RecipientInfo* recipient, std::span<X509* const> atHand,
                    RecipientMatch& match)
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
    X509StackPtr carried(CMS_get1_certs(cms));
    std::vector<X509*> candidates;
    for (int i = 0; carried && i < sk_X509_num(carried.get()); ++i)
        candidates.push_back(sk_X509_value(carried.get(), i));
    candidates.insert(candidates.end(), atHand.begin(), atHand.end());
    X509* originator = FirstOriginator(recipient, candidates);
    if (!originator) {
        match.missingOriginator = NameOf(keyId, issuer, serial);
        return false;
    }
    X509_up_ref(originator);
    match.originator.reset(originator);
    return true;
}

} // namespace

bool FindRecipientFor(CMS_ContentInfo* cms, X509* certificate, std::span<X509* const> atHand, RecipientMatch& match)
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
                refused = !FindOriginator(cms, recipient, atHand, match);
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
