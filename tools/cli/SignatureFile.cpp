#include "tools/cli/SignatureFile.h"

#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/operations/MessageFileForm.h"
#include "cryptomsg/operations/PemMessage.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <new>

namespace ordalis::cli {

namespace {

// The label of the block PemMessageDer takes.
std::string MessageLabel(std::span<const unsigned char> pem)
{
    for (const PemBlock& block : ReadPemBlocks(pem))
        if (block.name == "CMS" || block.name == "PKCS7" || block.name == "PKCS #7 SIGNED DATA")
            return block.name;
    return "CMS";
}

std::vector<unsigned char> PemText(std::span<const unsigned char> der, const std::string& label)
{
    BioPtr out(BIO_new(BIO_s_mem()));
    if (!out || PEM_write_bio(out.get(), label.c_str(), "", der.data(), static_cast<long>(der.size())) <= 0) {
        ERR_clear_error();
        throw std::bad_alloc(); // a memory BIO fails for nothing else
    }
    char* text = nullptr;
    const long length = BIO_get_mem_data(out.get(), &text);
    return {text, text + length};
}

} // namespace

std::vector<unsigned char> ReadSignatureFile(const std::string& path) { return ReadHeldSignature(path).der; }

HeldSignature ReadHeldSignature(const std::string& path)
{
    const bool armouredLine = FirstLineLooksArmoured(path);
    ByteBuffer bytes;
    bytes.loadFromFile(path);
    const std::span<const unsigned char> read(bytes.data(), bytes.length());
    HeldSignature held;
    if (BeginsAsPem(read)) {
        held.der = PemMessageDer(read).value_or(std::vector<unsigned char>());
        held.encoding = HeldSignature::Encoding::Pem;
        held.pemLabel = MessageLabel(read);
    } else if (ReadsAsArmour(armouredLine, read)) {
        ByteBuffer decoded;
        ArmourDecode(bytes, decoded);
        held.der.assign(decoded.data(), decoded.data() + decoded.length());
        held.encoding = HeldSignature::Encoding::Base64;
    } else {
        held.der.assign(read.begin(), read.end());
    }
    return held;
}

std::vector<unsigned char> EncodeLikeHeld(std::span<const unsigned char> der, const HeldSignature& held)
{
    switch (held.encoding) {
    case HeldSignature::Encoding::Der: return {der.begin(), der.end()};
    case HeldSignature::Encoding::Pem: return PemText(der, held.pemLabel);
    case HeldSignature::Encoding::Base64: break;
    }
    ByteBuffer in, out;
    in.write(der.data(), der.size());
    in.setPosition(0);
    ArmourEncode(in, out);
    return {out.data(), out.data() + out.length()};
}

} // namespace ordalis::cli
