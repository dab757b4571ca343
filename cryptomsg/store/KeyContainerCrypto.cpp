// EC_KEY is the only way to the curve of a GOST engine key; this file is
// compiled with the OpenSSL 1.1.1 API for it.
#include "cryptomsg/store/KeyContainerCrypto.h"

#include <openssl/bn.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace ordalis {

namespace {

using BnPtr = std::unique_ptr<BIGNUM, OsslFree<BN_clear_free>>;
using BnCtxPtr = std::unique_ptr<BN_CTX, OsslFree<BN_CTX_free>>;
using EcPointPtr = std::unique_ptr<EC_POINT, OsslFree<EC_POINT_clear_free>>;
using CipherCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, OsslFree<EVP_CIPHER_CTX_free>>;

// The fixed starting value of the PIN key derivation.
constexpr char kDerivationSeed[] = "DENEFH028.760246785.IUEFHWUIO.EF";
constexpr std::size_t kSeedSize = 32;
// With a PIN the iterated step runs 2000 times; without one, twice.
constexpr int kIterationsWithPin = 2000;
constexpr int kIterationsWithoutPin = 2;
constexpr std::size_t kBlock = 8;

const EVP_MD* SchemeDigest(KeyContainerScheme scheme)
{
    return EVP_get_digestbyname(scheme == KeyContainerScheme::Gost2001 ? "md_gost94" : "md_gost12_256");
}

const char* SchemeSbox(KeyContainerScheme scheme)
{
    return scheme == KeyContainerScheme::Gost2001 ? "id-Gost28147-89-CryptoPro-A-ParamSet"
                                                  : "id-tc26-gost-28147-param-Z";
}

// The hash of the parts, one after the other; empty on failure.
SecureBytes Hash(const EVP_MD* md, std::initializer_list<std::span<const unsigned char>> parts)
{
    EvpMdCtxPtr ctx(EVP_MD_CTX_new());
    if (!md || !ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1)
        return {};
    for (const auto& part : parts)
        if (EVP_DigestUpdate(ctx.get(), part.data(), part.size()) != 1)
            return {};
    SecureBytes digest(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1 || length < kSeedSize)
        return {};
    digest.resize(length);
    return digest;
}

void XorInto(SecureBytes& out, std::span<const unsigned char> in, unsigned char pad)
{
    out.resize(in.size());
    std::transform(in.begin(), in.end(), out.begin(), [pad](unsigned char c) { return c ^ pad; });
}

std::span<const unsigned char> First(const SecureBytes& bytes, std::size_t n) { return {bytes.data(), n}; }

BnPtr FromLittleEndian(std::span<const unsigned char> bytes)
{
    return BnPtr(BN_lebin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
}

SecureBytes ToLittleEndian(const BIGNUM* n, std::size_t size)
{
    SecureBytes bytes(size);
    if (BN_bn2lebinpad(n, bytes.data(), static_cast<int>(size)) != static_cast<int>(size))
        return {};
    return bytes;
}

} // namespace

SecureBytes DeriveContainerKey(KeyContainerScheme scheme, std::span<const unsigned char> salt, const std::string& pin)
{
    const EVP_MD* md = SchemeDigest(scheme);
    // The PIN's characters each widened to four bytes, the last three zero.
    SecureBytes widePin(pin.size() * 4, 0);
    for (std::size_t i = 0; i < pin.size(); ++i)
        widePin[i * 4] = static_cast<unsigned char>(pin[i]);

    // 1. The hash of the salt and the widened PIN.
    const SecureBytes saltedPin = Hash(md, {salt, widePin});
    if (saltedPin.empty())
        return {};

    // 2. An HMAC-like chain from the fixed seed: each round hashes the running value
    //    XOR 0x36, the salted PIN, the running value XOR 0x5C and the salted PIN again.
    //    The running value is as wide as the hash's input block (32 bytes for
    //    GOST R 34.11-94, 64 for Streebog), zero beyond the 32 bytes of each result.
    const std::size_t width = scheme == KeyContainerScheme::Gost2001 ? 32 : 64;
    SecureBytes current(width, 0);
    std::memcpy(current.data(), kDerivationSeed, kSeedSize);
    SecureBytes inner, outer;
    const int rounds = pin.empty() ? kIterationsWithoutPin : kIterationsWithPin;
    for (int round = 0; round < rounds; ++round) {
        XorInto(inner, current, 0x36);
        XorInto(outer, current, 0x5C);
        const SecureBytes next = Hash(md, {inner, saltedPin, outer, saltedPin});
        if (next.empty())
            return {};
        std::fill(current.begin(), current.end(), 0);
        std::copy_n(next.begin(), kSeedSize, current.begin());
    }

    // 3. The same pads of the first 32 bytes, now around the salt and the widened PIN.
    XorInto(inner, First(current, kSeedSize), 0x36);
    XorInto(outer, First(current, kSeedSize), 0x5C);
    const SecureBytes last = Hash(md, {inner, salt, outer, widePin});
    if (last.empty())
        return {};

    // 4. The key is the hash of that result's first 32 bytes.
    SecureBytes key = Hash(md, {First(last, kSeedSize)});
    key.resize(std::min(key.size(), kSeedSize));
    return key;
}

SecureBytes ContainerKeyCipher(KeyContainerScheme scheme, std::span<const unsigned char> key,
                               std::span<const unsigned char> data, bool encrypt)
{
    // The engine has GOST 28147-89 in CBC mode but not ECB: each block is chained
    // by hand with the previous ciphertext so that the chaining cancels out.
    const EVP_CIPHER* cipher = EVP_get_cipherbyname("gost89-cbc");
    CipherCtxPtr ctx(EVP_CIPHER_CTX_new());
    const unsigned char zeroIv[kBlock] = {0};
    const int enc = encrypt ? 1 : 0;
    if (!cipher || !ctx || key.size() != 32 || data.size() % kBlock != 0 ||
        EVP_CipherInit_ex(ctx.get(), cipher, nullptr, nullptr, nullptr, enc) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_SET_SBOX, 0, const_cast<char*>(SchemeSbox(scheme))) <= 0 ||
        EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, key.data(), zeroIv, enc) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1) {
        ERR_clear_error();
        return {};
    }
    SecureBytes out(data.size());
    unsigned char previous[kBlock] = {0};
    unsigned char block[kBlock];
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
        int length = 0;
        if (encrypt) {
            for (std::size_t i = 0; i < kBlock; ++i)
                block[i] = data[at + i] ^ previous[i];
            if (EVP_CipherUpdate(ctx.get(), out.data() + at, &length, block, kBlock) != 1 || length != kBlock)
                return {};
            std::memcpy(previous, out.data() + at, kBlock);
        } else {
            if (EVP_CipherUpdate(ctx.get(), out.data() + at, &length, data.data() + at, kBlock) != 1 ||
                length != kBlock)
                return {};
            for (std::size_t i = 0; i < kBlock; ++i)
                out[at + i] ^= previous[i];
            std::memcpy(previous, data.data() + at, kBlock);
        }
    }
    OPENSSL_cleanse(block, sizeof block);
    return out;
}

namespace {

// The GOST 28147-89 MAC of data in one call: its first size bytes (4, or all 8 of the state).
Bytes MacOnce(KeyContainerScheme scheme, std::span<const unsigned char> key, std::span<const unsigned char> data,
              std::size_t size)
{
    const bool z = scheme == KeyContainerScheme::Gost2012;
    EvpPkeyPtr macKey(EVP_PKEY_new_mac_key(z ? NID_gost_mac_12 : NID_id_Gost28147_89_MAC, nullptr, key.data(),
                                           static_cast<int>(key.size())));
    EvpMdCtxPtr ctx(EVP_MD_CTX_new());
    const EVP_MD* md = EVP_get_digestbyname(z ? "gost-mac-12" : "gost-mac");
    EVP_PKEY_CTX* pctx = nullptr;
    Bytes mac(kBlock);
    std::size_t length = mac.size();
    if (!macKey || !ctx || !md || EVP_DigestSignInit(ctx.get(), &pctx, md, nullptr, macKey.get()) != 1 ||
        EVP_PKEY_CTX_ctrl_str(pctx, "size", std::to_string(size).c_str()) <= 0 ||
        EVP_DigestSignUpdate(ctx.get(), data.data(), data.size()) != 1 ||
        EVP_DigestSignFinal(ctx.get(), mac.data(), &length) != 1 || length != size) {
        ERR_clear_error();
        return {};
    }
    mac.resize(length);
    return mac;
}

// The engine changes a MAC's key after every 1024 bytes (CryptoPro key meshing);
// the container's check values are computed without that. So the data goes in
// pieces shorter than 1024 bytes, the first block of each XORed with the state
// the previous piece left, which continues the same chain. No piece after the
// first is a single block, which the MAC would pad with a second one.
Bytes Mac(KeyContainerScheme scheme, std::span<const unsigned char> key, std::span<const unsigned char> data)
{
    constexpr std::size_t kPiece = 1016;
    constexpr std::size_t kCheckSize = 4;
    if (key.size() != 32 || data.empty())
        return {};
    Bytes state;
    std::size_t at = 0;
    for (;;) {
        const std::size_t remaining = data.size() - at;
        std::size_t piece = remaining;
        if (remaining > kPiece)
            piece = remaining - kPiece <= kBlock ? kPiece - kBlock : kPiece;
        const bool last = piece == remaining;
        SecureBytes chunk(data.begin() + static_cast<std::ptrdiff_t>(at),
                          data.begin() + static_cast<std::ptrdiff_t>(at + piece));
        for (std::size_t i = 0; i < state.size(); ++i)
            chunk[i] ^= state[i];
        state = MacOnce(scheme, key, chunk, last ? kCheckSize : kBlock);
        if (state.empty() || last)
            return state;
        at += piece;
    }
}

} // namespace

Bytes MasksCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> mask,
                      std::span<const unsigned char> salt)
{
    // A 512-bit key's mask is longer than a GOST 28147-89 key: its last 32 bytes key the MAC.
    if (mask.size() < 32)
        return {};
    return Mac(scheme, mask.subspan(mask.size() - 32), salt);
}

Bytes ContentCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> content)
{
    // Keyed with zeros: a check of the header's integrity, which anyone can compute.
    const unsigned char zeroKey[32] = {0};
    return Mac(scheme, zeroKey, content);
}

Bytes PinCheckValue(KeyContainerScheme scheme, std::span<const unsigned char> fingerprint, const std::string& pin)
{
    // The key derived from the PIN with the fingerprint as its salt, over two zero blocks.
    const SecureBytes key = DeriveContainerKey(scheme, fingerprint, pin);
    const unsigned char zeros[2 * kBlock] = {0};
    return key.empty() ? Bytes() : Mac(scheme, key, zeros);
}

std::unique_ptr<ContainerCurve> ContainerCurve::ForParameterSet(int keyNid, const std::string& curveOid)
{
    EvpPkeyCtxPtr ctx(EVP_PKEY_CTX_new_id(keyNid, nullptr));
    EVP_PKEY* parameters = nullptr;
    if (!ctx || EVP_PKEY_paramgen_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_ctrl_str(ctx.get(), "paramset", curveOid.c_str()) <= 0 ||
        EVP_PKEY_paramgen(ctx.get(), &parameters) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    EvpPkeyPtr owned(parameters);
    const std::size_t size = keyNid == NID_id_GostR3410_2012_512 ? 64 : 32;
    return std::unique_ptr<ContainerCurve>(new ContainerCurve(std::move(owned), size));
}

ContainerCurve::ContainerCurve(EvpPkeyPtr parameters, std::size_t scalarSize)
    : m_parameters(std::move(parameters)), m_scalarSize(scalarSize)
{
}

ContainerCurve::~ContainerCurve() = default;

namespace {

const EC_GROUP* GroupOf(EVP_PKEY* parameters)
{
    const EC_KEY* ec = static_cast<const EC_KEY*>(EVP_PKEY_get0(parameters));
    return ec ? EC_KEY_get0_group(ec) : nullptr;
}

} // namespace

SecureBytes ContainerCurve::unmask(std::span<const unsigned char> primary, std::span<const unsigned char> mask) const
{
    const EC_GROUP* group = GroupOf(m_parameters.get());
    BnCtxPtr ctx(BN_CTX_secure_new());
    BnPtr p = FromLittleEndian(primary), m = FromLittleEndian(mask), d(BN_secure_new());
    if (!group || !ctx || !p || !m || !d || primary.size() != m_scalarSize || mask.size() != m_scalarSize)
        return {};
    const BIGNUM* q = EC_GROUP_get0_order(group);
    BnPtr inverse(BN_mod_inverse(nullptr, m.get(), q, ctx.get()));
    if (!inverse || BN_mod_mul(d.get(), p.get(), inverse.get(), q, ctx.get()) != 1 || BN_is_zero(d.get())) {
        ERR_clear_error();
        return {};
    }
    return ToLittleEndian(d.get(), m_scalarSize);
}

SecureBytes ContainerCurve::mask(std::span<const unsigned char> key, std::span<const unsigned char> mask) const
{
    const EC_GROUP* group = GroupOf(m_parameters.get());
    BnCtxPtr ctx(BN_CTX_secure_new());
    BnPtr d = FromLittleEndian(key), m = FromLittleEndian(mask), p(BN_secure_new());
    if (!group || !ctx || !d || !m || !p ||
        BN_mod_mul(p.get(), d.get(), m.get(), EC_GROUP_get0_order(group), ctx.get()) != 1) {
        ERR_clear_error();
        return {};
    }
    return ToLittleEndian(p.get(), m_scalarSize);
}

SecureBytes ContainerCurve::newMask() const
{
    const EC_GROUP* group = GroupOf(m_parameters.get());
    BnPtr m(BN_secure_new());
    if (!group || !m)
        return {};
    do {
        if (BN_priv_rand_range(m.get(), EC_GROUP_get0_order(group)) != 1)
            return {};
    } while (BN_is_zero(m.get()));
    return ToLittleEndian(m.get(), m_scalarSize);
}

Bytes ContainerCurve::fingerprint(std::span<const unsigned char> key) const
{
    const EC_GROUP* group = GroupOf(m_parameters.get());
    BnCtxPtr ctx(BN_CTX_secure_new());
    BnPtr d = FromLittleEndian(key), x(BN_new());
    EcPointPtr point(group ? EC_POINT_new(group) : nullptr);
    if (!ctx || !d || !x || !point || EC_POINT_mul(group, point.get(), d.get(), nullptr, nullptr, ctx.get()) != 1 ||
        EC_POINT_get_affine_coordinates(group, point.get(), x.get(), nullptr, ctx.get()) != 1) {
        ERR_clear_error();
        return {};
    }
    const SecureBytes xBytes = ToLittleEndian(x.get(), m_scalarSize);
    if (xBytes.size() < kContainerFingerprintSize)
        return {};
    return Bytes(xBytes.begin(), xBytes.begin() + kContainerFingerprintSize);
}

} // namespace ordalis
