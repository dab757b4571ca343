#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/TestStore.h"

#include <openssl/conf.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace ordalis::test {
namespace {

const std::string kGost89Oid("\x06\x06\x2A\x85\x03\x02\x02\x15", 8);

class Decryption : public EnvelopeTest {
protected:
    Outcome decrypt(const std::string& message) { return DecryptMessage({my.get()}, message); }
};

TEST_F(Decryption, AMessageForNoKeyInTheStoresIsRefused)
{
    const Identity outsider = MakeIdentity(KeyAlgorithm::Gost2012_256);
    TestCertificateOptions keyless;
    keyless.withKey = false;
    store.add("no key", KeyAlgorithm::Gost2012_256, keyless);
    const CertStorePtr reopened = store.open(); // sees the new certificate
    const CertContextPtr withoutKey = store.context("no key");

    for (PCCERT_CONTEXT to : {outsider.context.get(), withoutKey.get()}) {
        const Outcome envelopeFor = EncryptMessage({to}, "1.2.643.7.1.1.1.1", content);
        ASSERT_TRUE(envelopeFor.ok);
        const Outcome opened = DecryptMessage({reopened.get()}, envelopeFor.bytes);
        EXPECT_FALSE(opened.ok);
        EXPECT_EQ(opened.error, codes::NoDecryptCert);
    }
    const Outcome noStores = DecryptMessage({}, envelope);
    EXPECT_EQ(noStores.error, codes::NoDecryptCert);
}

TEST_F(Decryption, DamagedOrForeignMessagesFailWithACode)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const std::string signedMessage = SignMessage(signer.context.get(), "1.2.643.7.1.1.2.2", content, false).bytes;
    struct Case {
        const char* what;
        std::string message;
        std::uint32_t code;
    };
    const Case cases[] = {
        {"empty", "", codes::Asn1Eod},
        {"truncated", envelope.substr(0, envelope.size() / 2), codes::Asn1Eod},
        {"one byte short", envelope.substr(0, envelope.size() - 1), codes::Asn1Eod},
        {"trailing byte", envelope + std::string(1, '\0'), codes::Asn1Corrupt},
        {"a signed message", signedMessage, codes::UnexpectedMsgType},
    };
    for (const Case& c : cases) {
        const Outcome opened = decrypt(c.message);
        EXPECT_FALSE(opened.ok) << c.what;
        EXPECT_EQ(opened.error, c.code) << c.what;
    }
}

TEST_F(Decryption, NoChangeBeforeTheContentCipherGivesOtherContent)
{
    // Up to the content cipher's identifier lie the recipient entry and the
    // structure: any change there must fail or give the content unchanged
    // (the cipher's IV and the content itself have no integrity protection in this format).
    const std::size_t cipherAt = envelope.rfind(kGost89Oid);
    ASSERT_NE(cipherAt, std::string::npos);
    for (std::size_t at = 0; at < cipherAt; ++at) {
        std::string damaged = envelope;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x21);
        const Outcome opened = decrypt(damaged);
        if (opened.ok) {
            EXPECT_TRUE(opened.bytes == content) << "byte " << at;
        } else {
            EXPECT_NE(opened.error, 0u) << "byte " << at;
        }
    }
}

TEST_F(Decryption, TooSmallABufferIsRefusedAndLeftWithoutContent)
{
    CRYPT_DECRYPT_MESSAGE_PARA para{kDecryptMessageParaSize, kEncodingType, 1, nullptr};
    HCERTSTORE stores[] = {my.get()};
    para.rghCertStore = stores;
    const BYTE* message = reinterpret_cast<const BYTE*>(envelope.data());
    DWORD bound = 0;
    ASSERT_TRUE(CryptDecryptMessage(&para, message, static_cast<DWORD>(envelope.size()), nullptr, &bound, nullptr));
    EXPECT_GE(bound, content.size());

    std::string small(content.size() - 1, '\0');
    DWORD size = static_cast<DWORD>(small.size());
    PCCERT_CONTEXT exchange = recipient.get(); // must be reset on failure
    EXPECT_FALSE(CryptDecryptMessage(&para, message, static_cast<DWORD>(envelope.size()),
                                     reinterpret_cast<BYTE*>(small.data()), &size, &exchange));
    EXPECT_EQ(GetLastError(), codes::ErrorMoreData);
    EXPECT_EQ(size, bound);
    EXPECT_EQ(exchange, nullptr);
    EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](char c) { return c == 0; })) << "decrypted bytes left";

    EXPECT_FALSE(CryptDecryptMessage(nullptr, message, static_cast<DWORD>(envelope.size()), nullptr, &bound, nullptr));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_FALSE(CryptDecryptMessage(&para, message, static_cast<DWORD>(envelope.size()), nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

TEST_F(Decryption, AProtectedKeyAsksItsPasswordOnceAndACancelGivesNothing)
{
    const CertContextPtr protectedRecipient = store.context("protected");
    const std::string message = EncryptMessage({protectedRecipient.get()}, "1.2.643.7.1.1.1.1", content).bytes;
    ASSERT_FALSE(message.empty());

    FakeDesktop desktop;
    const ScopedPasswordPrompt prompt(desktop);
    desktop.passwordAnswers.push_back(std::string(kProtectedKeyPassword));
    const Outcome opened = decrypt(message);
    ASSERT_TRUE(opened.ok) << std::hex << opened.error;
    EXPECT_TRUE(opened.bytes == content);
    EXPECT_EQ(desktop.passwordAnswers.size(), 0u);
    EXPECT_EQ(std::count_if(desktop.calls.begin(), desktop.calls.end(),
                            [](const std::string& call) { return call.find("password") != std::string::npos; }),
              1)
        << "the size pass opens no key";

    desktop.passwordAnswers.push_back(std::nullopt);
    const Outcome cancelled = decrypt(message);
    EXPECT_FALSE(cancelled.ok);
    EXPECT_EQ(cancelled.error, codes::Cancelled);
}

// Key agreement, with EC keys: OpenSSL makes such envelopes, the GOST engine here does not.
struct EcIdentity {
    EvpPkeyPtr key;
    X509Ptr certificate;
};

EcIdentity MakeEcIdentity(const char* commonName)
{
    EcIdentity made;
    made.key.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    made.certificate.reset(X509_new());
    X509* x = made.certificate.get();
    X509_NAME* name = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName), -1, -1,
                               0);
    X509_set_issuer_name(x, name);
    ASN1_INTEGER_set(X509_get_serialNumber(x), 7);
    X509_gmtime_adj(X509_getm_notBefore(x), 0);
    X509_gmtime_adj(X509_getm_notAfter(x), 3600);
    X509_set_version(x, 2);
    X509_set_pubkey(x, made.key.get());
    X509_sign(x, made.key.get(), EVP_sha256());
    return made;
}

std::string EnvelopeByKeyAgreement(X509* recipient, const std::string& content)
{
    CmsPtr cms(CMS_encrypt(nullptr, nullptr, EVP_aes_128_cbc(), CMS_BINARY | CMS_PARTIAL));
    BioPtr in(BIO_new_mem_buf(content.data(), static_cast<int>(content.size())));
    if (!cms || !CMS_add1_recipient_cert(cms.get(), recipient, CMS_BINARY) ||
        CMS_final(cms.get(), in.get(), nullptr, CMS_BINARY) != 1)
        return {};
    unsigned char* der = nullptr;
    const int length = i2d_CMS_ContentInfo(cms.get(), &der);
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<std::size_t>(std::max(length, 0)));
    OPENSSL_free(der);
    return bytes;
}

// OpenSSL cannot encrypt with a static originator key, so an envelope whose
// key-agreement entry names its originator by issuer and serial number is
// described here and encoded by OpenSSL's ASN.1 generator. It is addressed to
// "CN=EC recipient", serial 7; its keys are placeholders, as it must be refused
// before any key is used.
std::string EnvelopeWithNamedOriginator()
{
    static const char description[] = R"(
[contentInfo]
type = OID:pkcs7-envelopedData
content = EXPLICIT:0,SEQUENCE:envelope
[envelope]
version = INT:2
recipients = SET:recipients
encrypted = SEQUENCE:encryptedContent
[recipients]
agreement = IMPLICIT:1,SEQUENCE:agreement
[agreement]
version = INT:3
originator = EXPLICIT:0,SEQUENCE:originator
algorithm = SEQUENCE:agreementAlgorithm
keys = SEQUENCE:encryptedKeys
[originator]
issuer = SEQUENCE:originatorName
serial = INT:5
[originatorName]
rdn = SET:originatorRdn
[originatorRdn]
attribute = SEQUENCE:originatorCommonName
[originatorCommonName]
type = OID:commonName
value = UTF8:EC originator
[agreementAlgorithm]
algorithm = OID:dhSinglePass-stdDH-sha1kdf-scheme
parameters = SEQUENCE:wrapAlgorithm
[wrapAlgorithm]
algorithm = OID:id-aes128-wrap
[encryptedKeys]
key = SEQUENCE:encryptedKey
[encryptedKey]
recipient = SEQUENCE:recipientId
value = FORMAT:HEX,OCTETSTRING:00112233445566778899AABBCCDDEEFF0011223344556677
[recipientId]
issuer = SEQUENCE:recipientName
serial = INT:7
[recipientName]
rdn = SET:recipientRdn
[recipientRdn]
attribute = SEQUENCE:recipientCommonName
[recipientCommonName]
type = OID:commonName
value = UTF8:EC recipient
[encryptedContent]
type = OID:pkcs7-data
algorithm = SEQUENCE:contentAlgorithm
content = IMPLICIT:0,FORMAT:HEX,OCTETSTRING:00112233445566778899AABBCCDDEEFF
[contentAlgorithm]
algorithm = OID:aes-128-cbc
iv = FORMAT:HEX,OCTETSTRING:00112233445566778899AABBCCDDEEFF
)";
    std::unique_ptr<CONF, OsslFree<NCONF_free>> conf(NCONF_new(nullptr));
    BioPtr text(BIO_new_mem_buf(description, -1));
    long errorLine = 0;
    if (!conf || NCONF_load_bio(conf.get(), text.get(), &errorLine) != 1)
        return {};
    std::unique_ptr<ASN1_TYPE, OsslFree<ASN1_TYPE_free>> value(ASN1_generate_nconf("SEQUENCE:contentInfo", conf.get()));
    unsigned char* der = nullptr;
    const int length = value ? i2d_ASN1_TYPE(value.get(), &der) : 0;
    std::string bytes(reinterpret_cast<const char*>(der), static_cast<std::size_t>(std::max(length, 0)));
    OPENSSL_free(der);
    return bytes;
}

TEST_F(Decryption, KeyAgreementOpensWithAnOriginatorKeyAndRefusesAnUnknownNamedOriginator)
{
    const EcIdentity ec = MakeEcIdentity("EC recipient");
    {
        BioPtr file(BIO_new_file((store.folder() + "/ec.pem").c_str(), "wb"));
        ASSERT_TRUE(file && PEM_write_bio_X509(file.get(), ec.certificate.get()) == 1 &&
                    PEM_write_bio_PrivateKey(file.get(), ec.key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1);
    }
    const CertStorePtr reopened = store.open();

    const std::string withKey = EnvelopeByKeyAgreement(ec.certificate.get(), content);
    ASSERT_FALSE(withKey.empty());
    const Outcome opened = DecryptMessage({reopened.get()}, withKey);
    ASSERT_TRUE(opened.ok) << std::hex << opened.error;
    EXPECT_TRUE(opened.bytes == content);

    const std::string named = EnvelopeWithNamedOriginator();
    ASSERT_FALSE(named.empty());
    const unsigned char* p = reinterpret_cast<const unsigned char*>(named.data());
    CmsPtr parsed(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(named.size())));
    ASSERT_TRUE(parsed) << "the described envelope is a valid message";
    CMS_RecipientInfo* agreement = sk_CMS_RecipientInfo_value(CMS_get0_RecipientInfos(parsed.get()), 0);
    ASSERT_EQ(CMS_RecipientInfo_type(agreement), CMS_RECIPINFO_AGREE);
    ASSERT_EQ(
        CMS_RecipientEncryptedKey_cert_cmp(
            sk_CMS_RecipientEncryptedKey_value(CMS_RecipientInfo_kari_get0_reks(agreement), 0), ec.certificate.get()),
        0)
        << "addressed to the store's EC certificate";
    const Outcome refused = DecryptMessage({reopened.get()}, named);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, codes::NoDecryptCert);
}

} // namespace
} // namespace ordalis::test
