#include "cryptomsg/messages/BerParts.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/objects.h>

namespace ordalis {

bool EnterConstructed(BerInput& in, int tag, int xclass)
{
    const std::optional<BerHeader> header = in.readHeader();
    if (!header)
        return false;
    if (!header->is(tag, xclass, true))
        return FailWith(codes::Asn1Corrupt);
    in.enter(*header);
    return true;
}

bool ReadPart(BerInput& in, std::vector<unsigned char>& part, std::size_t limit)
{
    std::optional<std::vector<unsigned char>> element = in.readElement(limit);
    if (!element)
        return false;
    part = std::move(*element);
    return true;
}

bool IsContentType(const std::vector<unsigned char>& contentType, int nid)
{
    const unsigned char* p = contentType.data();
    Asn1ObjectPtr type(d2i_ASN1_OBJECT(nullptr, &p, static_cast<long>(contentType.size())));
    if (!type)
        return FailFromOpenSsl(codes::Asn1Corrupt);
    return OBJ_obj2nid(type.get()) == nid || FailWith(codes::UnexpectedMsgType);
}

} // namespace ordalis
