#include "cryptomsg/store/KeyContainerFormat.h"

#include <openssl/asn1t.h>
#include <openssl/crypto.h>
#include <openssl/objects.h>

#include <memory>

namespace ordalis {

namespace {

// GOST key parameters: the curve's parameter set and the digest.
struct KcKeyParams {
    ASN1_OBJECT* curve;
    ASN1_OBJECT* digest;
};

struct KcKeyAlgorithm {
    ASN1_OBJECT* algorithm;
    KcKeyParams* parameters;
};

// The attributes of a key (exportable, exchange...) and its algorithm.
struct KcKeyParameters {
    ASN1_BIT_STRING* attributes;
    KcKeyAlgorithm* algorithm;
};

struct KcCertificateLink {
    ASN1_IA5STRING* path;
    ASN1_OCTET_STRING* hmac;
};

// header.key's content, field by field in the order the format gives them.
struct KcContent {
    ASN1_OBJECT* containerAlgorithm;
    ASN1_IA5STRING* containerName;
    ASN1_BIT_STRING* attributes;
    KcKeyParameters* primaryParameters;
    ASN1_OCTET_STRING* hmacPassword;
    ASN1_TYPE* secondaryEncryptedKey;
    KcKeyParameters* secondaryParameters;
    ASN1_OCTET_STRING* primaryCertificate; // the certificate's DER under an implicit tag
    ASN1_OCTET_STRING* secondaryCertificate;
    ASN1_IA5STRING* encryptionContainerName;
    KcCertificateLink* primaryCertificateLink;
    KcCertificateLink* secondaryCertificateLink;
    ASN1_OCTET_STRING* primaryFingerprint;
    ASN1_OCTET_STRING* secondaryFingerprint;
    ASN1_OBJECT* passwordPolicy;
    ASN1_INTEGER* securityLevel;
    ASN1_TYPE* extensions;
    ASN1_IA5STRING* secondaryEncryptionContainerName;
};

struct KcHeader {
    KcContent* content;
    ASN1_OCTET_STRING* hmac;
};

struct KcMasks {
    ASN1_OCTET_STRING* mask;
    ASN1_OCTET_STRING* salt;
    ASN1_OCTET_STRING* mac;
};

struct KcPrimary {
    ASN1_OCTET_STRING* key;
};

struct KcName {
    ASN1_IA5STRING* name;
};

} // namespace

ASN1_SEQUENCE(KcKeyParams) =
    {
        ASN1_SIMPLE(KcKeyParams, curve, ASN1_OBJECT),
        ASN1_OPT(KcKeyParams, digest, ASN1_OBJECT),
} ASN1_SEQUENCE_END(KcKeyParams)

        ASN1_SEQUENCE(KcKeyAlgorithm) =
            {
                ASN1_SIMPLE(KcKeyAlgorithm, algorithm, ASN1_OBJECT),
                ASN1_SIMPLE(KcKeyAlgorithm, parameters, KcKeyParams),
} ASN1_SEQUENCE_END(KcKeyAlgorithm)

                ASN1_SEQUENCE(KcKeyParameters) =
                    {
                        ASN1_SIMPLE(KcKeyParameters, attributes, ASN1_BIT_STRING),
                        ASN1_IMP(KcKeyParameters, algorithm, KcKeyAlgorithm, 0),
} ASN1_SEQUENCE_END(KcKeyParameters)

                        ASN1_SEQUENCE(KcCertificateLink) =
                            {
                                ASN1_SIMPLE(KcCertificateLink, path, ASN1_IA5STRING),
                                ASN1_SIMPLE(KcCertificateLink, hmac, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(KcCertificateLink)

                                ASN1_SEQUENCE(KcContent) =
                                    {
                                        ASN1_EXP_OPT(KcContent, containerAlgorithm, ASN1_OBJECT, 0),
                                        ASN1_OPT(KcContent, containerName, ASN1_IA5STRING),
                                        ASN1_SIMPLE(KcContent, attributes, ASN1_BIT_STRING),
                                        ASN1_SIMPLE(KcContent, primaryParameters, KcKeyParameters),
                                        ASN1_IMP_OPT(KcContent, hmacPassword, ASN1_OCTET_STRING, 2),
                                        ASN1_EXP_OPT(KcContent, secondaryEncryptedKey, ASN1_ANY, 3),
                                        ASN1_IMP_OPT(KcContent, secondaryParameters, KcKeyParameters, 4),
                                        ASN1_IMP_OPT(KcContent, primaryCertificate, ASN1_OCTET_STRING, 5),
                                        ASN1_IMP_OPT(KcContent, secondaryCertificate, ASN1_OCTET_STRING, 6),
                                        ASN1_IMP_OPT(KcContent, encryptionContainerName, ASN1_IA5STRING, 7),
                                        ASN1_IMP_OPT(KcContent, primaryCertificateLink, KcCertificateLink, 8),
                                        ASN1_IMP_OPT(KcContent, secondaryCertificateLink, KcCertificateLink, 9),
                                        ASN1_IMP(KcContent, primaryFingerprint, ASN1_OCTET_STRING, 10),
                                        ASN1_IMP_OPT(KcContent, secondaryFingerprint, ASN1_OCTET_STRING, 11),
                                        ASN1_OPT(KcContent, passwordPolicy, ASN1_OBJECT),
                                        ASN1_OPT(KcContent, securityLevel, ASN1_INTEGER),
                                        ASN1_EXP_OPT(KcContent, extensions, ASN1_ANY, 12),
                                        ASN1_IMP_OPT(KcContent, secondaryEncryptionContainerName, ASN1_IA5STRING, 13),
} ASN1_SEQUENCE_END(KcContent)

                                        ASN1_SEQUENCE(KcHeader) =
                                            {
                                                ASN1_SIMPLE(KcHeader, content, KcContent),
                                                ASN1_SIMPLE(KcHeader, hmac, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(KcHeader)

                                                ASN1_SEQUENCE(KcMasks) =
                                                    {
                                                        ASN1_SIMPLE(KcMasks, mask, ASN1_OCTET_STRING),
                                                        ASN1_SIMPLE(KcMasks, salt, ASN1_OCTET_STRING),
                                                        ASN1_SIMPLE(KcMasks, mac, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(KcMasks)

                                                        ASN1_SEQUENCE(KcPrimary) =
                                                            {
                                                                ASN1_SIMPLE(KcPrimary, key, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(KcPrimary)

                                                                ASN1_SEQUENCE(KcName) =
                                                                    {
                                                                        ASN1_SIMPLE(KcName, name, ASN1_IA5STRING),
} ASN1_SEQUENCE_END(KcName)

                                                                        namespace
{
    template <class T>
    struct ItemFree {
        const ASN1_ITEM* item;
        void operator()(T* value) const { ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(value), item); }
    };

    template <class T>
    using ItemPtr = std::unique_ptr<T, ItemFree<T>>;

    // Decodes exactly the bytes given as the item; null for anything else, trailing bytes included.
    template <class T>
    ItemPtr<T> Decode(std::span<const unsigned char> der, const ASN1_ITEM* item)
    {
        const unsigned char* p = der.data();
        ASN1_VALUE* value = ASN1_item_d2i(nullptr, &p, static_cast<long>(der.size()), item);
        ItemPtr<T> decoded(reinterpret_cast<T*>(value), ItemFree<T>{item});
        if (decoded && p != der.data() + der.size())
            decoded.reset();
        return decoded;
    }

    template <class T>
    ItemPtr<T> New(const ASN1_ITEM* item)
    {
        return ItemPtr<T>(reinterpret_cast<T*>(ASN1_item_new(item)), ItemFree<T>{item});
    }

    template <class Container, class T>
    Container Encode(const ItemPtr<T>& value)
    {
        if (!value)
            return {};
        unsigned char* der = nullptr;
        const int length = ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(value.get()), &der, value.get_deleter().item);
        if (length <= 0)
            return {};
        Container bytes(der, der + length);
        OPENSSL_clear_free(der, static_cast<std::size_t>(length));
        return bytes;
    }

    template <class Container = Bytes>
    Container BytesOf(const ASN1_STRING* s)
    {
        if (!s)
            return {};
        const unsigned char* data = ASN1_STRING_get0_data(s);
        return Container(data, data + ASN1_STRING_length(s));
    }

    std::string OidText(const ASN1_OBJECT* object)
    {
        if (!object || OBJ_length(object) == 0)
            return {};
        char text[128] = {0};
        const int length = OBJ_obj2txt(text, sizeof text, object, 1);
        return length > 0 && static_cast<std::size_t>(length) < sizeof text ? std::string(text) : std::string();
    }

    // Sets *slot to the OID; false when the text is not one.
    bool SetOid(ASN1_OBJECT * *slot, const std::string& oid)
    {
        ASN1_OBJECT* object = OBJ_txt2obj(oid.c_str(), 1);
        if (!object)
            return false;
        ASN1_OBJECT_free(*slot);
        *slot = object;
        return true;
    }

    bool SetBytes(ASN1_STRING * s, std::span<const unsigned char> bytes)
    {
        return s && ASN1_STRING_set(s, bytes.data(), static_cast<int>(bytes.size())) == 1;
    }

    // Allocates an optional string field and fills it.
    bool SetOptionalBytes(ASN1_OCTET_STRING * *slot, std::span<const unsigned char> bytes)
    {
        *slot = ASN1_OCTET_STRING_new();
        return SetBytes(*slot, bytes);
    }

    // Key attribute bits and container attribute bits as the format numbers them.
    constexpr int kExportableBit = 0;
    constexpr int kExchangeBit = 2;
    constexpr int kSoftPasswordBit = 0;
    constexpr int kReservePrimaryBit = 1;

    bool Bit(const ASN1_BIT_STRING* bits, int n) { return bits && ASN1_BIT_STRING_get_bit(bits, n) == 1; }

    bool ReadKeyParameters(const KcKeyParameters* parameters, KeyContainerKeyInfo& info)
    {
        if (!parameters || !parameters->algorithm || !parameters->algorithm->parameters)
            return false;
        info.exchangeKey = Bit(parameters->attributes, kExchangeBit);
        info.exportable = Bit(parameters->attributes, kExportableBit);
        info.algorithmOid = OidText(parameters->algorithm->algorithm);
        info.curveOid = OidText(parameters->algorithm->parameters->curve);
        info.digestOid = OidText(parameters->algorithm->parameters->digest);
        return !info.algorithmOid.empty() && !info.curveOid.empty();
    }

    bool WriteKeyParameters(const KeyContainerKeyInfo& info, KcKeyParameters* parameters)
    {
        KcKeyParams* gost = parameters->algorithm->parameters;
        if ((info.exportable && ASN1_BIT_STRING_set_bit(parameters->attributes, kExportableBit, 1) != 1) ||
            (info.exchangeKey && ASN1_BIT_STRING_set_bit(parameters->attributes, kExchangeBit, 1) != 1) ||
            !SetOid(&parameters->algorithm->algorithm, info.algorithmOid) || !SetOid(&gost->curve, info.curveOid))
            return false;
        return info.digestOid.empty() || SetOid(&gost->digest, info.digestOid);
    }

    Bytes AnyDer(const ASN1_TYPE* any)
    {
        if (!any)
            return {};
        unsigned char* der = nullptr;
        const int length = i2d_ASN1_TYPE(any, &der);
        if (length <= 0)
            return {};
        Bytes bytes(der, der + length);
        OPENSSL_free(der);
        return bytes;
    }

} // namespace

std::optional<KeyContainerHeader> DecodeContainerHeader(std::span<const unsigned char> der)
{
    const ItemPtr<KcHeader> decoded = Decode<KcHeader>(der, ASN1_ITEM_rptr(KcHeader));
    if (!decoded)
        return std::nullopt;
    const KcContent* content = decoded->content;
    KeyContainerHeader header;
    if (!ReadKeyParameters(content->primaryParameters, header.primary))
        return std::nullopt;
    header.containerAlgorithmOid = OidText(content->containerAlgorithm);
    header.softPassword = Bit(content->attributes, kSoftPasswordBit);
    header.reservePrimary = Bit(content->attributes, kReservePrimaryBit);
    header.hasSecondaryKey = content->secondaryParameters || content->secondaryEncryptedKey;
    header.hmacPassword = BytesOf(content->hmacPassword);
    header.certificate = BytesOf(content->primaryCertificate);
    header.fingerprint = BytesOf(content->primaryFingerprint);
    header.extensions = AnyDer(content->extensions);
    header.hmac = BytesOf(decoded->hmac);
    return header;
}

std::optional<KeyContainerMasks> DecodeContainerMasks(std::span<const unsigned char> der)
{
    const ItemPtr<KcMasks> decoded = Decode<KcMasks>(der, ASN1_ITEM_rptr(KcMasks));
    if (!decoded)
        return std::nullopt;
    return KeyContainerMasks{BytesOf<SecureBytes>(decoded->mask), BytesOf(decoded->salt), BytesOf(decoded->mac)};
}

std::optional<SecureBytes> DecodeContainerPrimary(std::span<const unsigned char> der)
{
    const ItemPtr<KcPrimary> decoded = Decode<KcPrimary>(der, ASN1_ITEM_rptr(KcPrimary));
    if (!decoded)
        return std::nullopt;
    return BytesOf<SecureBytes>(decoded->key);
}

std::optional<std::string> DecodeContainerName(std::span<const unsigned char> der)
{
    const ItemPtr<KcName> decoded = Decode<KcName>(der, ASN1_ITEM_rptr(KcName));
    if (!decoded)
        return std::nullopt;
    const Bytes name = BytesOf(decoded->name);
    return std::string(name.begin(), name.end());
}

std::optional<Bytes> ContainerContentDer(std::span<const unsigned char> header)
{
    // Into the outer SEQUENCE, then over the first element, tag and length included.
    const unsigned char* p = header.data();
    long length = 0;
    int tag = 0, xclass = 0;
    if (ASN1_get_object(&p, &length, &tag, &xclass, static_cast<long>(header.size())) != V_ASN1_CONSTRUCTED ||
        tag != V_ASN1_SEQUENCE)
        return std::nullopt;
    const unsigned char* content = p;
    const long left = static_cast<long>(header.size()) - (p - header.data());
    if (ASN1_get_object(&p, &length, &tag, &xclass, left) != V_ASN1_CONSTRUCTED || tag != V_ASN1_SEQUENCE)
        return std::nullopt;
    const unsigned char* end = p + length;
    return Bytes(content, end);
}

Bytes EncodeContainerHeader(const KeyContainerHeader& header)
{
    ItemPtr<KcHeader> encoded = New<KcHeader>(ASN1_ITEM_rptr(KcHeader));
    if (!encoded)
        return {};
    KcContent* content = encoded->content;
    if (!header.containerAlgorithmOid.empty() && !SetOid(&content->containerAlgorithm, header.containerAlgorithmOid))
        return {};
    if ((header.softPassword && ASN1_BIT_STRING_set_bit(content->attributes, kSoftPasswordBit, 1) != 1) ||
        (header.reservePrimary && ASN1_BIT_STRING_set_bit(content->attributes, kReservePrimaryBit, 1) != 1) ||
        !WriteKeyParameters(header.primary, content->primaryParameters))
        return {};
    if (!header.hmacPassword.empty() && !SetOptionalBytes(&content->hmacPassword, header.hmacPassword))
        return {};
    if (!header.certificate.empty() && !SetOptionalBytes(&content->primaryCertificate, header.certificate))
        return {};
    if (!SetBytes(content->primaryFingerprint, header.fingerprint) || !SetBytes(encoded->hmac, header.hmac))
        return {};
    return Encode<Bytes>(encoded);
}

Bytes EncodeContainerMasks(const KeyContainerMasks& masks)
{
    ItemPtr<KcMasks> encoded = New<KcMasks>(ASN1_ITEM_rptr(KcMasks));
    if (!encoded || !SetBytes(encoded->mask, masks.mask) || !SetBytes(encoded->salt, masks.salt) ||
        !SetBytes(encoded->mac, masks.mac))
        return {};
    return Encode<Bytes>(encoded);
}

SecureBytes EncodeContainerPrimary(std::span<const unsigned char> encryptedKey)
{
    ItemPtr<KcPrimary> encoded = New<KcPrimary>(ASN1_ITEM_rptr(KcPrimary));
    if (!encoded || !SetBytes(encoded->key, encryptedKey))
        return {};
    return Encode<SecureBytes>(encoded);
}

Bytes EncodeContainerName(const std::string& name)
{
    ItemPtr<KcName> encoded = New<KcName>(ASN1_ITEM_rptr(KcName));
    if (!encoded || !SetBytes(encoded->name, {reinterpret_cast<const unsigned char*>(name.data()), name.size()}))
        return {};
    return Encode<Bytes>(encoded);
}

Bytes EncodeGostKeyParameters(const std::string& curveOid, const std::string& digestOid)
{
    ItemPtr<KcKeyParams> encoded = New<KcKeyParams>(ASN1_ITEM_rptr(KcKeyParams));
    if (!encoded || !SetOid(&encoded->curve, curveOid) || (!digestOid.empty() && !SetOid(&encoded->digest, digestOid)))
        return {};
    return Encode<Bytes>(encoded);
}

bool DecodeGostKeyParameters(std::span<const unsigned char> der, std::string& curveOid, std::string& digestOid)
{
    const ItemPtr<KcKeyParams> decoded = Decode<KcKeyParams>(der, ASN1_ITEM_rptr(KcKeyParams));
    if (!decoded)
        return false;
    curveOid = OidText(decoded->curve);
    digestOid = OidText(decoded->digest);
    return !curveOid.empty();
}

} // namespace ordalis
