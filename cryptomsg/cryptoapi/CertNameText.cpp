#include "cryptomsg/cryptoapi/CertNameText.h"

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <string_view>

namespace ordalis {

namespace {

std::string Hex(const unsigned char* bytes, std::size_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string TypeText(const ASN1_OBJECT* type, NameStyle style)
{
    const int nid = OBJ_obj2nid(type);
    if (style == NameStyle::ShortName && nid != NID_undef)
        if (const char* name = OBJ_nid2sn(nid))
            return name;
    char oid[128];
    const int length = OBJ_obj2txt(oid, sizeof oid, type, 1);
    return length > 0 && static_cast<std::size_t>(length) < sizeof oid ? std::string(oid) : std::string("?");
}

bool NeedsQuotes(std::string_view value)
{
    // An empty value is quoted too, so that it stays visible between separators.
    return value.empty() || value.front() == ' ' || value.back() == ' ' ||
           value.find_first_of(",+=\"\n<>#;") != std::string_view::npos;
}

std::string Quoted(std::string_view value)
{
    std::string text = "\"";
    for (char c : value) {
        text += c;
        if (c == '"')
            text += '"';
    }
    return text + "\"";
}

// The DER of a value that is not a character string, as "#" and hex.
std::string EncodedValue(const ASN1_STRING* value)
{
    std::unique_ptr<ASN1_TYPE, OsslFree<ASN1_TYPE_free>> any(ASN1_TYPE_new());
    if (!any || ASN1_TYPE_set1(any.get(), ASN1_STRING_type(value), value) != 1)
        return "#";
    const int length = i2d_ASN1_TYPE(any.get(), nullptr);
    if (length <= 0)
        return "#";
    std::string der(static_cast<std::size_t>(length), '\0');
    unsigned char* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_ASN1_TYPE(any.get(), &out);
    return "#" + Hex(reinterpret_cast<const unsigned char*>(der.data()), der.size());
}

std::string ValueText(const ASN1_STRING* value)
{
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, value);
    if (length < 0) {
        ERR_clear_error();
        return EncodedValue(value);
    }
    const std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    // Read up to its first zero, as callers of CertNameToStrA do, a value holding
    // one would show a shorter name than the certificate's.
    if (text.find('\0') != std::string::npos)
        return EncodedValue(value);
    return NeedsQuotes(text) ? Quoted(text) : text;
}

} // namespace

std::string FormatName(const X509_NAME* name, NameStyle style)
{
    std::string text;
    int previousSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(name); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(name, i);
        const int set = X509_NAME_ENTRY_set(entry);
        if (i > 0)
            text += set == previousSet ? " + " : ", ";
        previousSet = set;
        if (style != NameStyle::ValuesOnly)
            text += TypeText(X509_NAME_ENTRY_get_object(entry), style) + "=";
        text += ValueText(X509_NAME_ENTRY_get_data(entry));
    }
    return text;
}

std::string NameAttributeText(const X509_NAME* name, int nid)
{
    const int index = X509_NAME_get_index_by_NID(name, nid, -1);
    if (index < 0)
        return {};
    unsigned char* utf8 = nullptr;
    const int length = ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index)));
    if (length < 0) {
        ERR_clear_error();
        return {};
    }
    std::string text(reinterpret_cast<const char*>(utf8), static_cast<std::size_t>(length));
    OPENSSL_free(utf8);
    return text.find('\0') == std::string::npos ? text : std::string();
}

std::string CommonNameOrWhole(const X509_NAME* name)
{
    std::string commonName = NameAttributeText(name, NID_commonName);
    return commonName.empty() ? FormatName(name, NameStyle::ShortName) : commonName;
}

} // namespace ordalis
