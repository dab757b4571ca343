#include "cryptomsg/store/CertificateDescription.h"

#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/store/CertificateIds.h"

#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace ordalis {

namespace {

std::string BioText(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return length > 0 ? std::string(data, static_cast<std::size_t>(length)) : std::string();
}

std::string Hex(const unsigned char* bytes, std::size_t length, const char* separator = "")
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0)
            text += separator;
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string OidOf(const ASN1_OBJECT* object)
{
    char text[128];
    const int length = OBJ_obj2txt(text, sizeof text, object, 1);
    return length > 0 && static_cast<std::size_t>(length) < sizeof text ? std::string(text) : std::string();
}

std::string NameOf(const ASN1_OBJECT* object)
{
    const std::string oid = OidOf(object);
    if (const char* gost = GostAlgorithmName(oid.c_str()))
        return gost;
    const int nid = OBJ_obj2nid(object);
    return nid != NID_undef ? OBJ_nid2ln(nid) : oid;
}

std::string NameAndOid(const ASN1_OBJECT* object)
{
    const std::string name = NameOf(object), oid = OidOf(object);
    return name == oid ? oid : name + " (" + oid + ")";
}

std::string TimeText(const ASN1_TIME* time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return {};
    char text[96];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d UTC", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string KeyAlgorithmShortName(X509* certificate, const ASN1_OBJECT* algorithm)
{
    if (OBJ_obj2nid(algorithm) == NID_rsaEncryption) {
        const EVP_PKEY* key = X509_get0_pubkey(certificate);
        return key ? "RSA " + std::to_string(EVP_PKEY_get_bits(key)) + " бит" : "RSA";
    }
    return NameOf(algorithm);
}

void FreeTypeSequence(ASN1_SEQUENCE_ANY* s) { sk_ASN1_TYPE_pop_free(s, ASN1_TYPE_free); }

// GOST parameters are a SEQUENCE of parameter-set identifiers; others are shown as named or in hex.
std::string ParametersText(const X509_ALGOR* algorithm)
{
    const ASN1_OBJECT* object = nullptr;
    int type = V_ASN1_UNDEF;
    const void* value = nullptr;
    X509_ALGOR_get0(&object, &type, &value, algorithm);
    if (type == V_ASN1_OBJECT)
        return NameAndOid(static_cast<const ASN1_OBJECT*>(value));
    if (type != V_ASN1_SEQUENCE)
        return {};
    const ASN1_STRING* sequence = static_cast<const ASN1_STRING*>(value);
    const unsigned char* p = ASN1_STRING_get0_data(sequence);
    std::unique_ptr<ASN1_SEQUENCE_ANY, OsslFree<FreeTypeSequence>> items(
        d2i_ASN1_SEQUENCE_ANY(nullptr, &p, ASN1_STRING_length(sequence)));
    std::string text;
    for (int i = 0; items && i < sk_ASN1_TYPE_num(items.get()); ++i) {
        const ASN1_TYPE* item = sk_ASN1_TYPE_value(items.get(), i);
        if (item->type != V_ASN1_OBJECT)
            continue;
        text += (text.empty() ? "" : ", ") + NameAndOid(item->value.object);
    }
    ERR_clear_error();
    return text.empty()
               ? Hex(ASN1_STRING_get0_data(sequence), static_cast<std::size_t>(ASN1_STRING_length(sequence)), " ")
               : text;
}

std::pair<std::string, std::string> ExtensionText(X509_EXTENSION* extension)
{
    std::string name = NameAndOid(X509_EXTENSION_get_object(extension));
    if (X509_EXTENSION_get_critical(extension))
        name += ", критическое";
    BioPtr bio(BIO_new(BIO_s_mem()));
    std::string value;
    if (bio && X509V3_EXT_print(bio.get(), extension, 0, 0) == 1)
        value = BioText(bio.get());
    if (value.empty()) {
        const ASN1_OCTET_STRING* data = X509_EXTENSION_get_data(extension);
        value = Hex(ASN1_STRING_get0_data(data), static_cast<std::size_t>(ASN1_STRING_length(data)), " ");
    }
    ERR_clear_error();
    return {name, value};
}

} // namespace

CertificateDescription DescribeCertificate(PCCERT_CONTEXT certificate)
{
    CertificateDescription d;
    X509* x = CertContextX509(certificate);
    if (!x)
        return d;
    d.issuedTo = CommonNameOrWhole(X509_get_subject_name(x));
    d.issuedBy = CommonNameOrWhole(X509_get_issuer_name(x));
    d.organisation = NameAttributeText(X509_get_subject_name(x), NID_organizationName);
    d.subject = FormatName(X509_get_subject_name(x), NameStyle::ShortName);
    d.issuer = FormatName(X509_get_issuer_name(x), NameStyle::ShortName);
    d.validFrom = TimeText(X509_get0_notBefore(x));
    d.validTo = TimeText(X509_get0_notAfter(x));
    d.version = "V" + std::to_string(X509_get_version(x) + 1);
    d.serialHex = CertificateSerialHex(x);
    d.sha1Thumbprint = CertificateThumbprint(x);

    const X509_ALGOR* signature = nullptr;
    X509_get0_signature(nullptr, &signature, x);
    const ASN1_OBJECT* signatureObject = nullptr;
    X509_ALGOR_get0(&signatureObject, nullptr, nullptr, signature);
    d.signatureAlgorithm = NameAndOid(signatureObject);

    ASN1_OBJECT* keyObject = nullptr;
    X509_ALGOR* keyAlgorithm = nullptr;
    if (X509_PUBKEY_get0_param(&keyObject, nullptr, nullptr, &keyAlgorithm, X509_get_X509_PUBKEY(x)) == 1) {
        d.keyAlgorithm = KeyAlgorithmShortName(x, keyObject);
        d.publicKeyAlgorithm = NameAndOid(keyObject);
        d.publicKeyParameters = ParametersText(keyAlgorithm);
    }
    for (int i = 0; i < X509_get_ext_count(x); ++i)
        d.extensions.push_back(ExtensionText(X509_get_ext(x, i)));
    d.hasPrivateKey = CertHasPrivateKey(certificate);
    ERR_clear_error();
    return d;
}

std::string AsnTimeText(const ASN1_TIME* time) { return TimeText(time); }

} // namespace ordalis
