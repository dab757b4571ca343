#include "cryptomsg/operations/CoreSignature.h"

#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/messages/SignerRaising.h"

namespace ordalis {

bool SignWithCore(PCCERT_CONTEXT certificate, EVP_PKEY* key, bool attached, std::span<const unsigned char> content,
                  SignatureForm form, ByteBuffer& out, const LongTermRequest* longTerm)
{
    X509* signer = CertContextX509(certificate);
    X509* carried[] = {signer};
    SignatureOptions options;
    options.certificates = carried;
    options.form = form;
    const ByteView parts[] = {content};
    std::optional<OutgoingMessage> message =
        attached ? SignAttached(signer, key, content, options) : SignDetached(signer, key, parts, options);
    if (message && longTerm)
        RaiseNewestSigner(message->cms(), *longTerm);
    const long length = message ? message->encodedLength() : -1;
    if (length < 0)
        return false;
    out.setSize(length);
    return message->encodeInto({out.data(), out.length()}) == length;
}

} // namespace ordalis
