// CryptSignMessage: DER SignedData with one signer named by issuer and serial
// number, no signed attributes and binary content, detached or attached.

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/cryptoapi/OsslError.h"

namespace ordalis {

namespace {

// Without CMS_BINARY the content would be canonicalised as text and the
// signature would cover other bytes than the file's.
constexpr unsigned kSignFlags = CMS_BINARY | CMS_NOATTR | CMS_DETACHED;

bool ParaIsValid(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detached, DWORD count, const DWORD* outSize)
{
    if (!para || !outSize || para->cbSize < kSignMessageParaSize || !IsMessageEncoding(para->dwMsgEncodingType) ||
        !para->pSigningCert || (para->cMsgCert > 0 && !para->rgpMsgCert))
        return false;
    // An attached message carries exactly one content.
    return detached || count == 1;
}

// The digest named by the parameters. Null with the last error set.
const EVP_MD* DigestNamed(const char* oid)
{
    if (!oid || !*oid) {
        FailWith(codes::UnknownAlgo);
        return nullptr;
    }
    Asn1ObjectPtr object(OBJ_txt2obj(oid, 1));
    if (!object) {
        FailWith(codes::BadAlgId);
        return nullptr;
    }
    // EVP_get_digestbyobj queues no error for an unknown digest.
    const EVP_MD* md = EVP_get_digestbyobj(object.get());
    if (!md)
        FailWith(codes::UnknownAlgo);
    return md;
}

// The signer's private key, checked against its certificate. Null with the last error set.
EvpPkeyPtr SignerKey(PCCERT_CONTEXT signer)
{
    EvpPkeyPtr key = CertificateKey(signer);
    if (key && X509_check_private_key(CertContextX509(signer), key.get()) != 1) {
        FailWith(codes::NoKeyProperty);
        return nullptr;
    }
    return key;
}

bool AddMessageCertificates(CMS_ContentInfo* cms, const CRYPT_SIGN_MESSAGE_PARA& para)
{
    for (DWORD i = 0; i < para.cMsgCert; ++i) {
        X509* certificate = CertContextX509(para.rgpMsgCert[i]);
        if (!certificate)
            return FailWith(codes::InvalidArg);
        if (CMS_add1_cert(cms, certificate) != 1)
            return FailFromOpenSsl(codes::MsgError);
    }
    return true;
}

// Signs content (none for the size pass) as a detached SignedData. Null with the last error set.
CmsPtr SignDetached(const CRYPT_SIGN_MESSAGE_PARA& para, EVP_PKEY* key, const EVP_MD* md,
                    const ContentParts* content)
{
    CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, kSignFlags | CMS_PARTIAL));
    if (!cms) {
        FailFromOpenSsl(codes::MsgError);
        return nullptr;
    }
    // The certificates are the caller's list, so the signer's is not added on its own.
    if (!CMS_add1_signer(cms.get(), CertContextX509(para.pSigningCert), key, md, kSignFlags | CMS_NOCERTS)) {
        FailFromOpenSsl(codes::BadAlgId);
        return nullptr;
    }
    if (!AddMessageCertificates(cms.get(), para))
        return nullptr;
    BioPtr sink = NewNullBio();
    BioPtr chain(sink ? CMS_dataInit(cms.get(), sink.get()) : nullptr);
    if (!chain) {
        FailFromOpenSsl(codes::NoMemory);
        return nullptr;
    }
    sink.release(); // the chain owns it now
    for (std::size_t i = 0; content && i < content->count(); ++i) {
        if (!WriteThrough(chain.get(), content->part(i))) {
            FailFromOpenSsl(codes::MsgError);
            return nullptr;
        }
    }
    // The GOST engine insists on the key's own digest: another one fails here.
    if (CMS_dataFinal(cms.get(), chain.get()) != 1) {
        FailFromOpenSsl(codes::BadAlgId);
        return nullptr;
    }
    return cms;
}

} // namespace

BOOL CryptSignMessage(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detachedSignature, DWORD toBeSignedCount,
                      const BYTE* toBeSigned[], const DWORD toBeSignedSizes[], BYTE* signedBlob,
                      DWORD* signedBlobSize)
{
    if (!ParaIsValid(para, detachedSignature, toBeSignedCount, signedBlobSize))
        return FailWith(codes::InvalidArg);
    ContentParts content;
    if (!content.assign(toBeSignedCount, toBeSigned, toBeSignedSizes) || !EnsureGostEngine())
        return false;
    const EVP_MD* md = DigestNamed(para->HashAlgorithm.pszObjId);
    if (!md)
        return false;
    EvpPkeyPtr key = SignerKey(para->pSigningCert);
    if (!key)
        return false;

    // The size pass signs no content: the signature has the same length, and a
    // large file is hashed once, in the data pass.
    const bool sizePass = signedBlob == nullptr;
    CmsPtr cms = SignDetached(*para, key.get(), md, sizePass ? nullptr : &content);
    if (!cms)
        return false;
    BorrowedContent attached;
    if (!detachedSignature && !attached.attach(CMS_get0_content(cms.get()), content.part(0)))
        return false;
    if (sizePass)
        return ReportSize(EncodedLength(cms.get()), signedBlobSize);
    return EncodeInto(cms.get(), signedBlob, signedBlobSize) >= 0 && Succeed();
}

} // namespace ordalis
