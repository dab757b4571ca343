#include "cryptomsg/messages/MessageDecryptStream.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/EnvelopeStores.h"
#include "cryptomsg/messages/MessageSupport.h"

namespace ordalis {

bool DecryptMessageStream(const CRYPT_DECRYPT_MESSAGE_PARA& para, ByteStream& in, ByteStream& out,
                          const StreamProgress& progress, std::optional<OriginatorName>& missingSender)
{
    missingSender.reset();
    if (!DecryptParaIsValid(para))
        return FailWith(codes::InvalidArg);
    std::optional<EnvelopeStream> stream = EnvelopeStream::Open(in);
    if (!stream)
        return false;
    LookForSendersInStores(stream->envelope(), para);
    CertContextPtr decryptor = FindDecryptor(stream->envelope(), para);
    if (!decryptor) {
        missingSender = MissingSenderInStores(stream->envelope(), para);
        return false;
    }
    EvpPkeyPtr key = CertificateKey(decryptor.get());
    if (!key || !stream->decryptTo(CertContextX509(decryptor.get()), key.get(), out, progress))
        return false;
    return Succeed();
}

} // namespace ordalis
