#include "cryptomsg/messages/SignerSetup.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageSupport.h"

namespace ordalis {

namespace {

// The digest of the signer's GOST key algorithm. Null with the last error set.
const EVP_MD* KeyDigest(X509* signer)
{
    ASN1_OBJECT* keyAlgorithm = nullptr;
    X509_PUBKEY_get0_param(&keyAlgorithm, nullptr, nullptr, nullptr, X509_get_X509_PUBKEY(signer));
    const GostAlgorithm* gost = keyAlgorithm ? GostAlgorithmForKeyNid(OBJ_obj2nid(keyAlgorithm)) : nullptr;
    const EVP_MD* md = gost ? EVP_get_digestbyname(gost->hashName) : nullptr;
    if (!md)
        FailWith(codes::UnknownAlgo);
    return md;
}

} // namespace

unsigned SignerFlags(SignatureForm form)
{
    // Without CMS_BINARY the content would be canonicalised as text and the
    // signature would cover other bytes than the file's.
    if (form == SignatureForm::NoAttributes)
        return CMS_BINARY | CMS_NOATTR;
    // OpenSSL adds content type, message digest and signing time as it signs;
    // CMS_CADES adds the signing-certificate-v2 reference, hashed with the
    // signer's digest. S/MIME capabilities mean nothing to a GOST signature.
    return CMS_BINARY | CMS_NOSMIMECAP | CMS_CADES;
}

unsigned CosignerFlags(SignatureForm form)
{
    // Only CMS_final signs a signer without attributes, and it signs every
    // signer again (those already there have no key here): an added signer
    // always has content type, message digest and signing time.
    return form == SignatureForm::CadesBes ? SignerFlags(form) : CMS_BINARY | CMS_NOSMIMECAP;
}

const EVP_MD* SignerDigest(X509* signer, EVP_PKEY* key, ContentView content, const SignatureOptions& options)
{
    if (!signer || !key || !ContentSize(content)) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    if (!EnsureGostEngine())
        return nullptr;
    const EVP_MD* md = options.digest ? options.digest : KeyDigest(signer);
    if (!md)
        return nullptr;
    if (X509_check_private_key(signer, key) != 1) {
        FailWith(codes::NoKeyProperty);
        return nullptr;
    }
    return md;
}

} // namespace ordalis
