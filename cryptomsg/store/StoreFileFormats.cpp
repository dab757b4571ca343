#include "cryptomsg/store/StoreFileFormats.h"

#include "common/FileModes.h"
#include "common/UniqueFd.h"
#include "cryptomsg/store/PasswordCipherCheck.h"
#include "cryptomsg/store/PbeIterations.h"

#include <openssl/err.h>
#include <openssl/evperr.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace ordalis {

namespace {

void FreePkcs7Stack(STACK_OF(PKCS7) * s) { sk_PKCS7_pop_free(s, PKCS7_free); }
void FreeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * s) { sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free); }
using Pkcs7StackPtr = std::unique_ptr<STACK_OF(PKCS7), OsslFree<FreePkcs7Stack>>;
using SafeBagStackPtr = std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), OsslFree<FreeSafeBagStack>>;
using X509SigPtr = std::unique_ptr<X509_SIG, OsslFree<X509_SIG_free>>;
using P8InfoPtr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslFree<PKCS8_PRIV_KEY_INFO_free>>;

BioPtr MemoryBio(std::span<const unsigned char> bytes)
{
    return BioPtr(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
}

std::string BioText(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::vector<unsigned char> LocalKeyId(const PKCS12_SAFEBAG* bag)
{
    const ASN1_TYPE* attribute = PKCS12_SAFEBAG_get0_attr(bag, NID_localKeyID);
    if (!attribute || attribute->type != V_ASN1_OCTET_STRING)
        return {};
    const ASN1_OCTET_STRING* id = attribute->value.octet_string;
    return {ASN1_STRING_get0_data(id), ASN1_STRING_get0_data(id) + ASN1_STRING_length(id)};
}

// Whether the bundle's integrity check passes without a password, as when it was made with an empty one.
bool OpensWithoutPassword(PKCS12* bundle)
{
    const bool open = !PKCS12_mac_present(bundle) || PKCS12_verify_mac(bundle, nullptr, 0) == 1 ||
                      PKCS12_verify_mac(bundle, "", 0) == 1;
    ERR_clear_error();
    return open;
}

void OutlineBags(const STACK_OF(PKCS12_SAFEBAG) * bags, Pkcs12Outline& outline, std::vector<unsigned char>& keyId)
{
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_certBag:
            if (X509Ptr certificate{PKCS12_SAFEBAG_get1_cert(bag)})
                outline.certificates.push_back({std::move(certificate), LocalKeyId(bag)});
            break;
        case NID_keyBag:
        case NID_pkcs8ShroudedKeyBag:
            outline.hasKey = true;
            keyId = LocalKeyId(bag);
            break;
        case NID_safeContentsBag: OutlineBags(PKCS12_SAFEBAG_get0_safes(bag), outline, keyId); break;
        default: break;
        }
    }
}

} // namespace

bool ReadSmallFile(const std::string& path, SecureBytes& bytes, std::size_t maxSize)
{
    UniqueFd fd = OpenRegularFileForReading(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0)
        return false;
    if (static_cast<std::size_t>(st.st_size) > maxSize) {
        errno = EFBIG;
        return false;
    }
    bytes.assign(static_cast<std::size_t>(st.st_size), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0 ? (bytes.resize(done), true) : false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool LooksLikePem(std::span<const unsigned char> bytes)
{
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find("-----BEGIN ") != std::string_view::npos;
}

std::vector<PemBlock> ReadPemBlocks(std::span<const unsigned char> bytes)
{
    std::vector<PemBlock> blocks;
    BioPtr bio = MemoryBio(bytes);
    for (;;) {
        char* name = nullptr;
        char* header = nullptr;
        unsigned char* data = nullptr;
        long length = 0;
        if (!bio || PEM_read_bio(bio.get(), &name, &header, &data, &length) != 1)
            break;
        PemBlock block;
        block.name = name;
        block.header = header;
        block.data.assign(data, data + length);
        OPENSSL_free(name);
        OPENSSL_free(header);
        OPENSSL_clear_free(data, static_cast<std::size_t>(length));
        blocks.push_back(std::move(block));
    }
    ERR_clear_error(); // the end of the text is reported as "no start line"
    return blocks;
}

KeyBlockKind KeyBlockKindOf(const PemBlock& block)
{
    const std::string_view name = block.name;
    if (name == "ENCRYPTED PRIVATE KEY")
        return KeyBlockKind::Encrypted;
    if (name.size() < 11 || name.substr(name.size() - 11) != "PRIVATE KEY")
        return KeyBlockKind::NotAKey;
    // A traditional key with its own encryption ("Proc-Type: 4,ENCRYPTED") is not a store form.
    return block.header.find("ENCRYPTED") == std::string::npos ? KeyBlockKind::Plain : KeyBlockKind::Unsupported;
}

bool IsCertificateBlock(const PemBlock& block)
{
    return block.name == "CERTIFICATE" || block.name == "X509 CERTIFICATE";
}

X509Ptr DecodeCertificate(std::span<const unsigned char> der)
{
    const unsigned char* p = der.data();
    X509Ptr certificate(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
    if (!certificate || p != der.data() + der.size())
        certificate.reset();
    ERR_clear_error();
    return certificate;
}

Pkcs12Ptr DecodePkcs12(std::span<const unsigned char> der)
{
    const unsigned char* p = der.data();
    Pkcs12Ptr bundle(d2i_PKCS12(nullptr, &p, static_cast<long>(der.size())));
    if (!bundle || p != der.data() + der.size())
        bundle.reset();
    ERR_clear_error();
    return bundle;
}

EvpPkeyPtr DecodePlainKey(const PemBlock& block)
{
    const unsigned char* p = block.data.data();
    const long length = static_cast<long>(block.data.size());
    if (block.name == "PRIVATE KEY") {
        // The PKCS#8 path reaches the GOST engine's key methods.
        P8InfoPtr info(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, length));
        return EvpPkeyPtr(info ? EVP_PKCS82PKEY(info.get()) : nullptr);
    }
    return EvpPkeyPtr(d2i_AutoPrivateKey(nullptr, &p, length));
}

std::int64_t KeyIterations(const PemBlock& block)
{
    const unsigned char* p = block.data.data();
    X509SigPtr sealed(d2i_X509_SIG(nullptr, &p, static_cast<long>(block.data.size())));
    const X509_ALGOR* algorithm = nullptr;
    if (sealed)
        X509_SIG_get0(sealed.get(), &algorithm, nullptr);
    ERR_clear_error();
    return PbeIterations(algorithm);
}

KeyOpen DecryptKey(const PemBlock& block, const std::string& password, EvpPkeyPtr& key)
{
    const unsigned char* p = block.data.data();
    X509SigPtr sealed(d2i_X509_SIG(nullptr, &p, static_cast<long>(block.data.size())));
    const X509_ALGOR* algorithm = nullptr;
    if (sealed)
        X509_SIG_get0(sealed.get(), &algorithm, nullptr);
    // Both checks come before any key derivation or decryption runs.
    if (!sealed || !PasswordCipherIsSound(algorithm) || PbeIterations(algorithm) > kMaxPbeIterations)
        return KeyOpen::Failed;
    P8InfoPtr info(PKCS8_decrypt(sealed.get(), password.data(), static_cast<int>(password.size())));
    if (info)
        key.reset(EVP_PKCS82PKEY(info.get()));
    if (key)
        return KeyOpen::Ok;
    const unsigned long error = ERR_peek_error();
    const bool unknownAlgorithm =
        ERR_GET_LIB(error) == ERR_LIB_EVP &&
        (ERR_GET_REASON(error) == EVP_R_UNSUPPORTED_CIPHER || ERR_GET_REASON(error) == EVP_R_UNSUPPORTED_ALGORITHM ||
         ERR_GET_REASON(error) == EVP_R_UNKNOWN_CIPHER || ERR_GET_REASON(error) == EVP_R_UNSUPPORTED_PRF ||
         ERR_GET_REASON(error) == EVP_R_UNKNOWN_PBE_ALGORITHM);
    return unknownAlgorithm ? KeyOpen::Failed : KeyOpen::WrongPassword;
}

KeyOpen OpenPkcs12(PKCS12* bundle, const std::string& password, Pkcs12Content& content)
{
    if (LargestPkcs12Iterations(bundle) > kMaxPbeIterations)
        return KeyOpen::Failed;
    // PKCS12_parse tries the absent password itself when given an empty one.
    if (!password.empty() && PKCS12_mac_present(bundle) &&
        PKCS12_verify_mac(bundle, password.c_str(), static_cast<int>(password.size())) != 1)
        return KeyOpen::WrongPassword;
    if (password.empty() && !OpensWithoutPassword(bundle))
        return KeyOpen::WrongPassword;
    if (!Pkcs12CiphersAreSound(bundle, password))
        return KeyOpen::Failed;
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    STACK_OF(X509)* others = nullptr;
    if (PKCS12_parse(bundle, password.c_str(), &key, &certificate, &others) != 1)
        return PKCS12_mac_present(bundle) ? KeyOpen::Failed : KeyOpen::WrongPassword;
    content.key.reset(key);
    content.certificate.reset(certificate);
    content.others.reset(others);
    return KeyOpen::Ok;
}

Pkcs12Outline OutlinePkcs12(PKCS12* bundle)
{
    Pkcs12Outline outline;
    outline.keyProtected = !OpensWithoutPassword(bundle);
    if (!outline.keyProtected) {
        Pkcs12Content content;
        if (OpenPkcs12(bundle, {}, content) == KeyOpen::Ok) {
            if (content.certificate)
                outline.certificates.push_back({std::move(content.certificate), {}});
            outline.hasKey = content.key != nullptr;
            outline.keyCertificate = outline.hasKey && !outline.certificates.empty() ? 0 : -1;
            for (int i = 0; content.others && i < sk_X509_num(content.others.get()); ++i) {
                X509* other = sk_X509_value(content.others.get(), i);
                X509_up_ref(other);
                outline.certificates.push_back({X509Ptr(other), {}});
            }
        }
        ERR_clear_error();
        return outline;
    }
    // A protected bundle shows what it keeps outside its encrypted parts.
    Pkcs7StackPtr safes(PKCS12_unpack_authsafes(bundle));
    std::vector<unsigned char> keyId;
    for (int i = 0; safes && i < sk_PKCS7_num(safes.get()); ++i) {
        PKCS7* safe = sk_PKCS7_value(safes.get(), i);
        if (!PKCS7_type_is_data(safe))
            continue;
        if (SafeBagStackPtr bags{PKCS12_unpack_p7data(safe)})
            OutlineBags(bags.get(), outline, keyId);
    }
    ERR_clear_error();
    if (outline.hasKey) {
        for (std::size_t i = 0; i < outline.certificates.size(); ++i)
            if (!keyId.empty() && outline.certificates[i].localKeyId == keyId)
                outline.keyCertificate = static_cast<int>(i);
        if (outline.keyCertificate < 0 && outline.certificates.size() == 1)
            outline.keyCertificate = 0;
    }
    return outline;
}

std::string CertificatePem(X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return {};
    return BioText(bio.get());
}

namespace {

bool WriteEncryptedKey(BIO* bio, EVP_PKEY* key, const std::string& password, std::int64_t iterations)
{
    P8InfoPtr info(EVP_PKEY2PKCS8(key));
    unsigned char salt[16];
    if (!info || RAND_bytes(salt, sizeof salt) != 1)
        return false;
    const auto count = static_cast<int>(std::clamp(iterations, kMinStoreKeyIterations, kMaxPbeIterations));
    // PBES2: PBKDF2 with HMAC-SHA-256 (OpenSSL's choice for AES), AES-256-CBC.
    X509SigPtr sealed(PKCS8_encrypt_ex(-1, EVP_aes_256_cbc(), password.data(), static_cast<int>(password.size()), salt,
                                       sizeof salt, count, info.get(), nullptr, nullptr));
    return sealed && PEM_write_bio_PKCS8(bio, sealed.get()) == 1;
}

} // namespace

SecureBytes PrivateKeyPem(EVP_PKEY* key, const std::string& password, std::int64_t iterations)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    const bool written = password.empty()
                             ? PEM_write_bio_PKCS8PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1
                             : WriteEncryptedKey(bio.get(), key, password, iterations);
    if (!written)
        return {};
    BUF_MEM* memory = nullptr;
    BIO_get_mem_ptr(bio.get(), &memory);
    if (!memory || !memory->data)
        return {};
    SecureBytes text(memory->data, memory->data + memory->length);
    // The memory BIO's buffer held the key too.
    OPENSSL_cleanse(memory->data, memory->max);
    return text;
}

} // namespace ordalis
