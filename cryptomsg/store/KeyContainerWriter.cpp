#include "common/LastError.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/KeyContainerCrypto.h"
#include "cryptomsg/store/KeyContainerError.h"
#include "cryptomsg/store/KeyContainerImport.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreFolder.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/rand.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace ordalis {

namespace {

using Kind = KeyContainerError::Kind;
using P8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslFree<PKCS8_PRIV_KEY_INFO_free>>;
using OctetPtr = std::unique_ptr<ASN1_OCTET_STRING, OsslFree<ASN1_OCTET_STRING_free>>;
using IntegerPtr = std::unique_ptr<ASN1_INTEGER, OsslFree<ASN1_INTEGER_free>>;
using BnPtr = std::unique_ptr<BIGNUM, OsslFree<BN_clear_free>>;

// What header.key says of each algorithm: the key-agreement OID the vendor CSP
// writes for its exchange keys, and the digest when the key's parameters name none.
struct HeaderAlgorithm {
    int keyNid;
    const char* agreementOid;
    const char* digestOid;
};
constexpr HeaderAlgorithm kHeaderAlgorithms[] = {
    {NID_id_GostR3410_2001, "1.2.643.2.2.98", "1.2.643.2.2.30.1"},
    {NID_id_GostR3410_2012_256, "1.2.643.7.1.1.6.1", "1.2.643.7.1.1.2.2"},
    {NID_id_GostR3410_2012_512, "1.2.643.7.1.1.6.2", "1.2.643.7.1.1.2.3"},
};
// The container algorithm the vendor CSP names in header.key.
constexpr const char* kContainerAlgorithmOid = "1.2.643.2.2.37.2.1";

struct KeyScalar {
    SecureBytes littleEndian;
    std::string curveOid;
    std::string digestOid;
};

// The private scalar and parameters of a GOST key, from its PKCS#8 form.
KeyScalar ScalarOf(EVP_PKEY* key, std::size_t size)
{
    P8Ptr info(EVP_PKEY2PKCS8(key));
    const unsigned char* der = nullptr;
    int length = 0;
    const X509_ALGOR* algorithm = nullptr;
    if (!info || PKCS8_pkey_get0(nullptr, &der, &length, &algorithm, info.get()) != 1)
        throw Error("Не удалось прочитать закрытый ключ");
    KeyScalar scalar;
    const ASN1_OBJECT* oid = nullptr;
    int type = 0;
    const void* value = nullptr;
    X509_ALGOR_get0(&oid, &type, &value, algorithm);
    const ASN1_STRING* parameters = static_cast<const ASN1_STRING*>(value);
    if (type != V_ASN1_SEQUENCE || !DecodeGostKeyParameters({ASN1_STRING_get0_data(parameters),
                                                             static_cast<std::size_t>(ASN1_STRING_length(parameters))},
                                                            scalar.curveOid, scalar.digestOid))
        throw KeyContainerError(Kind::Unsupported, "key parameters");
    // The engine writes the scalar's little-endian bytes as they are; other writers
    // wrap them in an OCTET STRING, or write an INTEGER.
    const unsigned char* p = der;
    BnPtr d;
    if (static_cast<std::size_t>(length) == size)
        d.reset(BN_lebin2bn(der, length, nullptr));
    else if (OctetPtr octets{d2i_ASN1_OCTET_STRING(nullptr, &p, length)})
        d.reset(BN_lebin2bn(ASN1_STRING_get0_data(octets.get()), ASN1_STRING_length(octets.get()), nullptr));
    else if (p = der; IntegerPtr integer{d2i_ASN1_INTEGER(nullptr, &p, length)})
        d.reset(ASN1_INTEGER_to_BN(integer.get(), nullptr));
    scalar.littleEndian.resize(size);
    if (!d || BN_bn2lebinpad(d.get(), scalar.littleEndian.data(), static_cast<int>(size)) != static_cast<int>(size))
        throw Error("Не удалось прочитать закрытый ключ");
    ERR_clear_error();
    return scalar;
}

Bytes RandomBytes(std::size_t size)
{
    Bytes bytes(size);
    if (RAND_bytes(bytes.data(), static_cast<int>(size)) != 1)
        throw Error("Не удалось получить случайные числа");
    return bytes;
}

// One copy of the key under a fresh mask and salt: masks.key and primary.key's bytes.
std::pair<Bytes, SecureBytes> MakeCopy(const ContainerCurve& curve, KeyContainerScheme scheme,
                                       const SecureBytes& scalar, const std::string& pin)
{
    KeyContainerMasks masks{curve.newMask(), RandomBytes(kContainerSaltSize), {}};
    masks.mac = MasksCheckValue(scheme, masks.mask, masks.salt);
    const SecureBytes storageKey = DeriveContainerKey(scheme, masks.salt, pin);
    const SecureBytes masked = masks.mask.empty() ? SecureBytes() : curve.mask(scalar, masks.mask);
    const SecureBytes encrypted =
        storageKey.empty() || masked.empty() ? SecureBytes() : ContainerKeyCipher(scheme, storageKey, masked, true);
    Bytes masksFile = masks.mac.empty() || encrypted.empty() ? Bytes() : EncodeContainerMasks(masks);
    SecureBytes primaryFile = masksFile.empty() ? SecureBytes() : EncodeContainerPrimary(encrypted);
    if (primaryFile.empty())
        throw Error("Не удалось зашифровать закрытый ключ для контейнера");
    return {std::move(masksFile), std::move(primaryFile)};
}

Bytes CertificateDer(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length <= 0)
        throw Error("Не удалось записать сертификат");
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

// The container's name: the folder's own when it is plain ASCII, as name.key holds
// an IA5String, else one made from the certificate's thumbprint.
std::string ContainerName(const std::string& folder, X509* certificate)
{
    std::string name = std::filesystem::path(folder).filename().string();
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
    });
    return plain ? name : "ordalis-" + CertificateThumbprint(certificate).substr(0, 16);
}

// The container is written into a fresh folder beside the target and renamed to
// it when complete, so a failure leaves no half-written container behind.
class FolderInProgress {
public:
    explicit FolderInProgress(const std::string& target) : m_target(target)
    {
        std::string pattern = target + ".partial-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw Error(CannotOpenFileText(target, errno));
        m_folder = pattern;
    }
    FolderInProgress(const FolderInProgress&) = delete;
    FolderInProgress& operator=(const FolderInProgress&) = delete;
    ~FolderInProgress()
    {
        if (!m_done) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    template <class Container>
    void write(const char* name, const Container& bytes)
    {
        WriteStoreFile(m_folder + "/" + name, {bytes.data(), bytes.size()});
    }
    void commit()
    {
        std::error_code error;
        if (std::filesystem::exists(m_target, error))
            throw KeyContainerError(Kind::TargetExists, m_target);
        if (std::rename(m_folder.c_str(), m_target.c_str()) != 0)
            throw Error(CannotOpenFileText(m_target, errno));
        m_done = true;
    }

private:
    std::string m_target;
    std::string m_folder;
    bool m_done = false;
};

} // namespace

std::string ExportKeyContainer(const std::string& id, const std::string& given, const std::string& pin)
{
    const ClearErrorsOnExit clear;
    // "b2c3d4e5.000/" names the folder "b2c3d4e5.000".
    std::filesystem::path normal = std::filesystem::path(given).lexically_normal();
    if (!normal.has_filename() && normal.has_parent_path())
        normal = normal.parent_path();
    const std::string folder = normal.string();
    std::error_code error;
    if (std::filesystem::exists(folder, error))
        throw KeyContainerError(Kind::TargetExists, folder);
    CertStorePtr store(CertOpenSystemStoreA(nullptr, kPersonalStore));
    if (!store)
        throw Error("Не удалось открыть хранилище " + std::string(kPersonalStore));
    const CertContextPtr context = FindOneCertificate(store.get(), id);
    HCRYPTPROV provider = nullptr;
    if (!CryptAcquireCertificatePrivateKey(context.get(), 0, nullptr, &provider, nullptr, nullptr))
        throw Error(ErrorReportText(GetLastError()));
    const ProviderPtr ownedProvider(provider);
    const EvpPkeyPtr key = CertContextKey(context.get());
    X509* certificate = CertContextX509(context.get());
    if (!key || !certificate)
        throw Error("Не удалось открыть закрытый ключ");

    const int keyNid = EVP_PKEY_get_base_id(key.get());
    const auto algorithm = std::find_if(std::begin(kHeaderAlgorithms), std::end(kHeaderAlgorithms),
                                        [keyNid](const HeaderAlgorithm& a) { return a.keyNid == keyNid; });
    if (algorithm == std::end(kHeaderAlgorithms))
        throw KeyContainerError(Kind::Unsupported, OBJ_nid2sn(keyNid));
    const KeyContainerScheme scheme =
        keyNid == NID_id_GostR3410_2001 ? KeyContainerScheme::Gost2001 : KeyContainerScheme::Gost2012;
    const std::size_t size = keyNid == NID_id_GostR3410_2012_512 ? 64 : 32;
    const KeyScalar scalar = ScalarOf(key.get(), size);
    const std::unique_ptr<ContainerCurve> curve = ContainerCurve::ForParameterSet(keyNid, scalar.curveOid);
    if (!curve)
        throw KeyContainerError(Kind::Unsupported, scalar.curveOid);

    KeyContainerHeader header;
    header.containerAlgorithmOid = kContainerAlgorithmOid;
    header.softPassword = !pin.empty();
    header.reservePrimary = true;
    header.primary = {true, true, algorithm->agreementOid, scalar.curveOid,
                      scalar.digestOid.empty() ? algorithm->digestOid : scalar.digestOid};
    header.certificate = CertificateDer(certificate);
    header.fingerprint = curve->fingerprint(scalar.littleEndian);
    // A container without a PIN carries zeros for the PIN's check value, as the vendor's own do.
    header.hmacPassword = pin.empty() ? Bytes(4, 0) : PinCheckValue(scheme, header.fingerprint, pin);
    // The content's check value covers the content as encoded, so it is encoded twice.
    header.hmac = Bytes(4, 0);
    const std::optional<Bytes> content = header.fingerprint.empty() || header.hmacPassword.empty()
                                             ? std::nullopt
                                             : ContainerContentDer(EncodeContainerHeader(header));
    header.hmac = content ? ContentCheckValue(scheme, *content) : Bytes();
    const Bytes headerFile = header.hmac.empty() ? Bytes() : EncodeContainerHeader(header);
    const std::string name = ContainerName(folder, certificate);
    const Bytes nameFile = EncodeContainerName(name);
    if (headerFile.empty() || nameFile.empty())
        throw Error("Не удалось записать контейнер ключа");

    const auto [masks, primary] = MakeCopy(*curve, scheme, scalar.littleEndian, pin);
    const auto [masks2, primary2] = MakeCopy(*curve, scheme, scalar.littleEndian, pin);
    FolderInProgress target(folder);
    target.write("header.key", headerFile);
    target.write("name.key", nameFile);
    target.write("masks.key", masks);
    target.write("primary.key", primary);
    target.write("masks2.key", masks2);
    target.write("primary2.key", primary2);
    target.commit();
    return name;
}

} // namespace ordalis
