#include "cryptomsg/store/KeyContainerReader.h"

#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/KeyContainerError.h"
#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

namespace ordalis {

namespace {

using Kind = KeyContainerError::Kind;
using P8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslFree<PKCS8_PRIV_KEY_INFO_free>>;

// No file of a container comes near this; a larger one is not a container's.
constexpr std::size_t kMaxContainerFile = 256u << 10;

std::optional<SecureBytes> ReadOptional(const std::string& folder, const char* name)
{
    SecureBytes bytes;
    const std::string path = folder + "/" + name;
    if (ReadSmallFile(path, bytes, kMaxContainerFile))
        return bytes;
    if (errno == ENOENT)
        return std::nullopt;
    if (errno == EFBIG)
        throw KeyContainerError(Kind::DamagedFile, name);
    throw Error(CannotOpenFileText(path, errno));
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

KeyContainerCopy ParseCopy(const SecureBytes& masksBytes, const SecureBytes& primaryBytes, const char* masksFile,
                           const char* primaryFile, KeyContainerScheme scheme, std::size_t scalarSize)
{
    std::optional<KeyContainerMasks> masks = DecodeContainerMasks(masksBytes);
    if (!masks || masks->mask.size() != scalarSize || masks->salt.size() != kContainerSaltSize || masks->mac.empty())
        throw KeyContainerError(Kind::DamagedFile, masksFile);
    // The check value covers the mask and the salt, so a changed byte shows here.
    if (MasksCheckValue(scheme, masks->mask, masks->salt) != masks->mac)
        throw KeyContainerError(Kind::IntegrityFailed, masksFile);
    std::optional<SecureBytes> primary = DecodeContainerPrimary(primaryBytes);
    if (!primary || primary->size() != scalarSize)
        throw KeyContainerError(Kind::DamagedFile, primaryFile);
    return {masksFile, primaryFile, std::move(*masks), std::move(*primary)};
}

// One copy's key with the PIN: its scalar when its fingerprint is the header's, else empty.
SecureBytes OpenCopy(const KeyContainer& container, const ContainerCurve& curve, const KeyContainerCopy& copy,
                     const std::string& pin)
{
    const SecureBytes storageKey = DeriveContainerKey(container.scheme, copy.masks.salt, pin);
    const SecureBytes masked = ContainerKeyCipher(container.scheme, storageKey, copy.primary, false);
    SecureBytes key = masked.empty() ? SecureBytes() : curve.unmask(masked, copy.masks.mask);
    if (key.empty() || curve.fingerprint(key) != container.header.fingerprint)
        return {};
    return key;
}

// The key as PKCS#8 with the header's parameters, decoded by the GOST engine.
EvpPkeyPtr MakeKey(const KeyContainer& container, const SecureBytes& scalar)
{
    const Bytes parameters =
        EncodeGostKeyParameters(container.header.primary.curveOid, container.header.primary.digestOid);
    std::unique_ptr<ASN1_OCTET_STRING, OsslFree<ASN1_OCTET_STRING_free>> value(ASN1_OCTET_STRING_new());
    std::unique_ptr<ASN1_STRING, OsslFree<ASN1_STRING_free>> sequence(ASN1_STRING_new());
    P8Ptr info(PKCS8_PRIV_KEY_INFO_new());
    if (parameters.empty() || !value || !sequence || !info ||
        ASN1_OCTET_STRING_set(value.get(), scalar.data(), static_cast<int>(scalar.size())) != 1 ||
        ASN1_STRING_set(sequence.get(), parameters.data(), static_cast<int>(parameters.size())) != 1)
        return nullptr;
    unsigned char* der = nullptr;
    const int length = i2d_ASN1_OCTET_STRING(value.get(), &der);
    if (length <= 0)
        return nullptr;
    // set0 takes the encoded key and the parameters.
    if (PKCS8_pkey_set0(info.get(), OBJ_nid2obj(container.keyNid), 0, V_ASN1_SEQUENCE, sequence.get(), der, length) !=
        1) {
        OPENSSL_clear_free(der, static_cast<std::size_t>(length));
        return nullptr;
    }
    sequence.release();
    return EvpPkeyPtr(EVP_PKCS82PKEY(info.get()));
}

} // namespace

int KeyNidOfContainerAlgorithm(const std::string& oid)
{
    static const struct {
        const char* oid;
        int nid;
    } kAlgorithms[] = {
        {"1.2.643.2.2.19", NID_id_GostR3410_2001},        {"1.2.643.2.2.98", NID_id_GostR3410_2001},
        {"1.2.643.7.1.1.1.1", NID_id_GostR3410_2012_256}, {"1.2.643.7.1.1.6.1", NID_id_GostR3410_2012_256},
        {"1.2.643.7.1.1.1.2", NID_id_GostR3410_2012_512}, {"1.2.643.7.1.1.6.2", NID_id_GostR3410_2012_512},
    };
    for (const auto& algorithm : kAlgorithms)
        if (oid == algorithm.oid)
            return algorithm.nid;
    return 0;
}

bool IsKeyContainerFolder(const std::string& folder)
{
    return Exists(folder + "/header.key") && (Exists(folder + "/primary.key") || Exists(folder + "/primary2.key"));
}

std::vector<std::string> FindKeyContainers(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_directory(error) && IsKeyContainerFolder(entry.path().string()))
            found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    return found;
}

KeyContainerFiles ReadKeyContainerFiles(const std::string& folder)
{
    KeyContainerFiles files;
    files.header = ReadOptional(folder, "header.key");
    files.name = ReadOptional(folder, "name.key");
    files.masks = ReadOptional(folder, "masks.key");
    files.primary = ReadOptional(folder, "primary.key");
    files.masks2 = ReadOptional(folder, "masks2.key");
    files.primary2 = ReadOptional(folder, "primary2.key");
    return files;
}

KeyContainer ParseKeyContainer(const KeyContainerFiles& files)
{
    // Every step below is the GOST engine's.
    if (!EnsureGostEngine())
        throw KeyContainerError(Kind::Unsupported, "GOST engine");
    if (!files.header)
        throw KeyContainerError(Kind::MissingFile, "header.key");
    std::optional<KeyContainerHeader> header = DecodeContainerHeader(*files.header);
    if (!header || header->fingerprint.size() != kContainerFingerprintSize)
        throw KeyContainerError(Kind::DamagedFile, "header.key");
    KeyContainer container;
    container.header = std::move(*header);
    const KeyContainerKeyInfo& key = container.header.primary;
    container.keyNid = KeyNidOfContainerAlgorithm(key.algorithmOid);
    if (!container.keyNid)
        throw KeyContainerError(Kind::Unsupported, key.algorithmOid);
    container.scheme =
        container.keyNid == NID_id_GostR3410_2001 ? KeyContainerScheme::Gost2001 : KeyContainerScheme::Gost2012;
    // The content's check value shows a changed byte anywhere in header.key.
    const std::optional<Bytes> content = ContainerContentDer(*files.header);
    if (!content || ContentCheckValue(container.scheme, *content) != container.header.hmac)
        throw KeyContainerError(Kind::IntegrityFailed, "header.key");
    const std::unique_ptr<ContainerCurve> curve = ContainerCurve::ForParameterSet(container.keyNid, key.curveOid);
    if (!curve)
        throw KeyContainerError(Kind::Unsupported, key.curveOid);
    if (!container.header.certificate.empty()) {
        container.certificate = DecodeCertificate(container.header.certificate);
        if (!container.certificate)
            throw KeyContainerError(Kind::DamagedFile, "header.key");
    }
    if (files.name) {
        std::optional<std::string> name = DecodeContainerName(*files.name);
        if (!name)
            throw KeyContainerError(Kind::DamagedFile, "name.key");
        container.name = std::move(*name);
    }
    if (files.masks || files.primary) {
        if (!files.masks || !files.primary)
            throw KeyContainerError(Kind::MissingFile, files.masks ? "primary.key" : "masks.key");
        container.copies.push_back(
            ParseCopy(*files.masks, *files.primary, "masks.key", "primary.key", container.scheme, curve->scalarSize()));
    }
    if (files.masks2 || files.primary2) {
        if (!files.masks2 || !files.primary2)
            throw KeyContainerError(Kind::MissingFile, files.masks2 ? "primary2.key" : "masks2.key");
        container.copies.push_back(ParseCopy(*files.masks2, *files.primary2, "masks2.key", "primary2.key",
                                             container.scheme, curve->scalarSize()));
    }
    if (container.copies.empty())
        throw KeyContainerError(Kind::MissingFile, "primary.key");
    ERR_clear_error();
    return container;
}

KeyOpen OpenKeyContainer(const KeyContainer& container, const std::string& pin, EvpPkeyPtr& key)
{
    const std::unique_ptr<ContainerCurve> curve =
        ContainerCurve::ForParameterSet(container.keyNid, container.header.primary.curveOid);
    if (!curve)
        throw KeyContainerError(Kind::Unsupported, container.header.primary.curveOid);
    // A PIN-protected container keeps a check value of its PIN, which tells a wrong
    // PIN from a damaged key.
    const KeyContainerHeader& header = container.header;
    const bool pinChecked = header.softPassword && !header.hmacPassword.empty();
    if (pinChecked && PinCheckValue(container.scheme, header.fingerprint, pin) != header.hmacPassword)
        return KeyOpen::WrongPassword;
    std::vector<SecureBytes> opened;
    for (const KeyContainerCopy& copy : container.copies)
        opened.push_back(OpenCopy(container, *curve, copy, pin));
    const auto good = std::find_if(opened.begin(), opened.end(), [](const SecureBytes& k) { return !k.empty(); });
    if (good == opened.end() && pinChecked)
        throw KeyContainerError(Kind::DamagedFile, container.copies.front().primaryFile);
    if (good == opened.end())
        return KeyOpen::WrongPassword;
    // The PIN opened one copy, so a copy it does not open, or that holds another key, is damaged.
    for (std::size_t i = 0; i < opened.size(); ++i)
        if (opened[i] != *good)
            throw KeyContainerError(Kind::DamagedFile, container.copies[i].primaryFile);
    key = MakeKey(container, *good);
    if (!key) {
        ERR_clear_error();
        throw KeyContainerError(Kind::Unsupported, container.header.primary.curveOid);
    }
    return KeyOpen::Ok;
}

} // namespace ordalis
