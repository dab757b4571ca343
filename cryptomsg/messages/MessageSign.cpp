// CryptSignMessage: DER SignedData with one signer named by issuer and serial
// number, no signed attributes and binary content, detached or attached; an
// adapter over SignDetached (MessageCore.h).

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/messages/MessageCore.h"
#include "cryptomsg/messages/MessageSupport.h"

#include <vector>

namespace ordalis {

namespace {

// Fields the adapter does not implement: a record that sets one is refused
// rather than signed without what it asked for.
bool SetsUnsupportedField(const CRYPT_SIGN_MESSAGE_PARA& para)
{
    return para.pvHashAuxInfo || para.cMsgCrl || para.cAuthAttr || para.rgAuthAttr || para.cUnauthAttr ||
           para.dwFlags || para.dwInnerContentType;
}

bool ParaIsValid(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detached, DWORD count, const DWORD* outSize)
{
    if (!para || !outSize || para->cbSize < kSignMessageParaSize || !IsMessageEncoding(para->dwMsgEncodingType) ||
        !para->pSigningCert || (para->cMsgCert > 0 && !para->rgpMsgCert) || SetsUnsupportedField(*para))
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

// The message's certificates as the core takes them. False with the last error set.
bool MessageCertificates(const CRYPT_SIGN_MESSAGE_PARA& para, std::vector<X509*>& certificates)
{
    for (DWORD i = 0; i < para.cMsgCert; ++i) {
        X509* certificate = CertContextX509(para.rgpMsgCert[i]);
        if (!certificate)
            return FailWith(codes::InvalidArg);
        certificates.push_back(certificate);
    }
    return true;
}

} // namespace

BOOL CryptSignMessage(const CRYPT_SIGN_MESSAGE_PARA* para, BOOL detachedSignature, DWORD toBeSignedCount,
                      const BYTE* toBeSigned[], const DWORD toBeSignedSizes[], BYTE* signedBlob, DWORD* signedBlobSize)
{
    if (!ParaIsValid(para, detachedSignature, toBeSignedCount, signedBlobSize))
        return FailWith(codes::InvalidArg);
    ContentParts content;
    if (!content.assign(toBeSignedCount, toBeSigned, toBeSignedSizes) || !EnsureGostEngine())
        return false;
    SignatureOptions options;
    options.digest = DigestNamed(para->HashAlgorithm.pszObjId);
    if (!options.digest)
        return false;
    EvpPkeyPtr key = CertificateKey(para->pSigningCert);
    std::vector<X509*> certificates;
    if (!key || !MessageCertificates(*para, certificates))
        return false;
    options.certificates = certificates;

    // The size pass signs no content: the signature has the same length, and a
    // large file is hashed once, in the data pass.
    const bool sizePass = signedBlob == nullptr;
    std::optional<OutgoingMessage> message = SignDetached(CertContextX509(para->pSigningCert), key.get(),
                                                          sizePass ? ContentView() : content.parts(), options);
    if (!message || (!detachedSignature && !message->carry(content.parts()[0])))
        return false;
    if (sizePass)
        return ReportSize(message->encodedLength(), signedBlobSize);
    return EncodeInto(message->cms(), signedBlob, signedBlobSize) >= 0 && Succeed();
}

} // namespace ordalis
