#include "tools/cli/SignatureFile.h"

#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "cryptomsg/operations/PemMessage.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "cryptomsg/store/StoreFileFormats.h"

namespace ordalis::cli {

std::vector<unsigned char> ReadSignatureFile(const std::string& path)
{
    const bool armoured = FirstLineLooksArmoured(path);
    ByteBuffer bytes;
    bytes.loadFromFile(path);
    const std::span<const unsigned char> read(bytes.data(), bytes.length());
    if (!armoured && LooksLikePem(read))
        return PemMessageDer(read).value_or(std::vector<unsigned char>());
    if (!armoured)
        return {read.begin(), read.end()};
    ByteBuffer decoded;
    ArmourDecode(bytes, decoded);
    return {decoded.data(), decoded.data() + decoded.length()};
}

} // namespace ordalis::cli
