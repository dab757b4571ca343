#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ordalis::test {
namespace {

// One attribute of a name: type (short name or dotted OID), value, and whether it
// joins the previous attribute's RDN.
struct Attribute {
    const char* type;
    std::string value;
    bool samePreviousRdn = false;
    int stringType = MBSTRING_UTF8;
};

std::vector<BYTE> EncodeName(const std::vector<Attribute>& attributes)
{
    X509NamePtr name(X509_NAME_new());
    for (const Attribute& a : attributes) {
        const bool added = X509_NAME_add_entry_by_txt(
                               name.get(), a.type, a.stringType, reinterpret_cast<const unsigned char*>(a.value.data()),
                               static_cast<int>(a.value.size()), -1, a.samePreviousRdn ? -1 : 0) == 1;
        EXPECT_TRUE(added) << a.type;
    }
    const int length = i2d_X509_NAME(name.get(), nullptr);
    std::vector<BYTE> der(static_cast<std::size_t>(length));
    BYTE* out = der.data();
    i2d_X509_NAME(name.get(), &out);
    return der;
}

// NameBlobToText's two calls: the size, then the text.
std::string NameText(std::vector<BYTE> der, DWORD type = CERT_OID_NAME_STR)
{
    CERT_NAME_BLOB blob{static_cast<DWORD>(der.size()), der.data()};
    const DWORD size = CertNameToStrA(kEncodingType, &blob, type, nullptr, 0);
    std::string text(size, '\x7f');
    const DWORD written = CertNameToStrA(kEncodingType, &blob, type, text.data(), size);
    EXPECT_EQ(written, size);
    EXPECT_EQ(text.back(), '\0');
    text.resize(written > 0 ? written - 1 : 0);
    return text;
}

TEST(CertName, RdnsInEncodedOrderWithDottedTypes)
{
    // Deliberately least significant first: the text keeps the encoding's order.
    EXPECT_EQ(NameText(EncodeName({{"CN", "Иванов Иван"}, {"O", "ООО Ромашка"}, {"C", "RU"}})),
              "2.5.4.3=Иванов Иван, 2.5.4.10=ООО Ромашка, 2.5.4.6=RU");
    EXPECT_EQ(NameText(EncodeName({{"1.2.643.3.131.1.1", "007701234567", false, V_ASN1_NUMERICSTRING},
                                   {"emailAddress", "a@b.ru", false, V_ASN1_IA5STRING}})),
              "1.2.643.3.131.1.1=007701234567, 1.2.840.113549.1.9.1=a@b.ru");
}

TEST(CertName, MultiValuedRdnJoinedByPlus)
{
    EXPECT_EQ(NameText(EncodeName({{"C", "RU"}, {"CN", "aa"}, {"OU", "bb", true}, {"O", "Org"}})),
              "2.5.4.6=RU, 2.5.4.3=aa + 2.5.4.11=bb, 2.5.4.10=Org");
}

TEST(CertName, ValuesNeedingQuotesAreQuotedWithInnerQuotesDoubled)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain text", "plain text"},
        {"a,b", "\"a,b\""},
        {"a+b", "\"a+b\""},
        {"a=b", "\"a=b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"<tag>", "\"<tag>\""},
        {"#1", "\"#1\""},
        {"a;b", "\"a;b\""},
        {" leading", "\" leading\""},
        {"trailing ", "\"trailing \""},
        {"inner blank", "inner blank"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(NameText(EncodeName({{"CN", value}})), "2.5.4.3=" + expected) << value;
    // An empty value stays visible between the separators.
    EXPECT_EQ(NameText(EncodeName({{"1.3.6.1.4.1.99999.1", ""}, {"CN", "x"}})), "1.3.6.1.4.1.99999.1=\"\", 2.5.4.3=x");
}

TEST(CertName, ValuesAreShownAsUtf8WhateverTheirStringType)
{
    // "Яд" as a BMPString (UTF-16BE).
    const std::string bmp = "\x04\x2f\x04\x34";
    EXPECT_EQ(NameText(EncodeName({{"CN", bmp, false, MBSTRING_BMP}})), "2.5.4.3=Яд");
    EXPECT_EQ(NameText(EncodeName({{"CN", "Latin", false, V_ASN1_PRINTABLESTRING}})), "2.5.4.3=Latin");
}

TEST(CertName, ValueThatIsNotTextShowsItsEncodingInHex)
{
    EXPECT_EQ(NameText(EncodeName({{"1.3.6.1.4.1.99999.2", std::string("\x01\x02\xff", 3), false, V_ASN1_BIT_STRING}})),
              "1.3.6.1.4.1.99999.2=#0304000102FF");
}

TEST(CertName, ValueHoldingAZeroByteShowsItsEncodingInHex)
{
    // Read up to the zero, the text would name someone else: "Ivanov".
    const std::string value("Ivanov\0 (not really)", 20);
    const std::vector<BYTE> der = EncodeName({{"CN", value}, {"O", "Org"}});
    const std::string hex = "0C14"
                            "4976616E6F76"
                            "00"
                            "20286E6F74207265616C6C7929";
    EXPECT_EQ(NameText(der), "2.5.4.3=#" + hex + ", 2.5.4.10=Org");

    const unsigned char* p = der.data();
    const X509NamePtr name(d2i_X509_NAME(nullptr, &p, static_cast<long>(der.size())));
    ASSERT_TRUE(name);
    EXPECT_EQ(CommonNameOrWhole(name.get()), "CN=#" + hex + ", O=Org")
        << "the short label falls back to the whole name";
}

TEST(CertName, OtherStringTypes)
{
    const std::vector<BYTE> der = EncodeName({{"CN", "Name"}, {"O", "Org, Inc"}});
    EXPECT_EQ(NameText(der, 1), "Name, \"Org, Inc\"");
    EXPECT_EQ(NameText(der, 3), "CN=Name, O=\"Org, Inc\"");

    CERT_NAME_BLOB blob{static_cast<DWORD>(der.size()), const_cast<BYTE*>(der.data())};
    char text[8] = "x";
    EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, 4, text, sizeof text), 1u);
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_EQ(text[0], '\0');
}

TEST(CertName, SmallBufferGetsWhatFitsTerminated)
{
    std::vector<BYTE> der = EncodeName({{"CN", "abcdef"}});
    CERT_NAME_BLOB blob{static_cast<DWORD>(der.size()), der.data()};
    ASSERT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, nullptr, 0), 15u); // "2.5.4.3=abcdef"

    char text[16];
    std::fill(std::begin(text), std::end(text), '\x7f');
    EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, text, 5), 5u);
    EXPECT_STREQ(text, "2.5.");
    EXPECT_EQ(text[5], '\x7f') << "wrote past the capacity";
    EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, text, 1), 1u);
    EXPECT_STREQ(text, "");

    // A multi-byte character is never cut in half.
    std::vector<BYTE> cyrillic = EncodeName({{"CN", "Яд"}});
    CERT_NAME_BLOB cyrillicBlob{static_cast<DWORD>(cyrillic.size()), cyrillic.data()};
    EXPECT_EQ(CertNameToStrA(kEncodingType, &cyrillicBlob, CERT_OID_NAME_STR, text, 11), 11u);
    EXPECT_STREQ(text, "2.5.4.3=Я");
    EXPECT_EQ(CertNameToStrA(kEncodingType, &cyrillicBlob, CERT_OID_NAME_STR, text, 12), 11u);
    EXPECT_STREQ(text, "2.5.4.3=Я");
}

TEST(CertName, DamagedNameGivesEmptyTextAndAnError)
{
    std::vector<BYTE> der = EncodeName({{"CN", "abc"}});
    for (std::size_t cut : {std::size_t{1}, der.size() - 1}) {
        SCOPED_TRACE(cut);
        CERT_NAME_BLOB blob{static_cast<DWORD>(cut), der.data()};
        char text[32] = "junk";
        SetLastError(0);
        EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, nullptr, 0), 1u);
        EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, text, sizeof text), 1u);
        EXPECT_STREQ(text, "");
        EXPECT_NE(GetLastError(), 0u);
    }
    // Trailing bytes after the name are not a name either.
    der.push_back(0);
    CERT_NAME_BLOB blob{static_cast<DWORD>(der.size()), der.data()};
    EXPECT_EQ(CertNameToStrA(kEncodingType, &blob, CERT_OID_NAME_STR, nullptr, 0), 1u);
}

} // namespace
} // namespace ordalis::test
