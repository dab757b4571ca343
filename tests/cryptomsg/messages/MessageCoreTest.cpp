#include "cryptomsg/messages/MessageCore.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <openssl/err.h>

#include <gtest/gtest.h>

#include <vector>

namespace ordalis::test {
namespace {

ByteView View(const std::string& s) { return {reinterpret_cast<const unsigned char*>(s.data()), s.size()}; }

std::string Text(const ByteBuffer& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.length());
}

std::string DigestOidOf(const std::string& der)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
    if (!signers || sk_CMS_SignerInfo_num(signers) != 1)
        return {};
    X509_ALGOR* digest = nullptr;
    CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, 0), nullptr, nullptr, &digest, nullptr);
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, digest);
    char text[64] = {0};
    OBJ_obj2txt(text, sizeof text, object, 1);
    return text;
}

class CoreSigning : public ::testing::TestWithParam<GostCase> {
protected:
    TempDir dir;
};

TEST_P(CoreSigning, SignsWithTheKeysOwnDigestAndOpenSslVerifiesDetachedAndAttached)
{
    const Identity signer = MakeIdentity(GetParam().algorithm);
    const std::string content = PseudoRandomBytes(50000, 3) + "\r\n";
    X509* certificates[] = {signer.pair.certificate.get()};
    SignatureOptions options;
    options.certificates = certificates;
    // In two parts: they are one content.
    const ByteView parts[] = {View(content).first(1000), View(content).subspan(1000)};
    std::optional<OutgoingMessage> detached =
        SignDetached(signer.pair.certificate.get(), signer.pair.key.get(), parts, options);
    ASSERT_TRUE(detached) << std::hex << GetLastError();
    const std::optional<ByteBuffer> der = detached->toDer();
    ASSERT_TRUE(der);
    EXPECT_EQ(ERR_peek_error(), 0u);
    EXPECT_EQ(DigestOidOf(Text(*der)), GetParam().hashOid);

    WriteFile(dir.file("data.bin"), content);
    WriteFile(dir.file("data.sig"), Text(*der));
    std::string log;
    EXPECT_EQ(RunOpenSsl(dir.path(),
                         "cms -verify -binary -noverify -inform DER -in data.sig -content data.bin "
                         "-out /dev/null",
                         &log),
              0)
        << log;

    std::optional<OutgoingMessage> attached =
        SignAttached(signer.pair.certificate.get(), signer.pair.key.get(), View(content), options);
    ASSERT_TRUE(attached);
    WriteFile(dir.file("attached.sig"), Text(*attached->toDer()));
    EXPECT_EQ(RunOpenSsl(dir.path(), "cms -verify -binary -noverify -inform DER -in attached.sig -out out.bin", &log),
              0)
        << log;
    EXPECT_TRUE(ReadFile(dir.file("out.bin")) == content);
}

INSTANTIATE_TEST_SUITE_P(Gost, CoreSigning, ::testing::ValuesIn(GostCases()));

TEST(CoreSigningArguments, KeyOfAnotherCertificateIsRefused)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=Signer");
    const Identity other = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=Other");
    const ByteView parts[] = {View("content")};
    EXPECT_FALSE(SignDetached(signer.pair.certificate.get(), other.pair.key.get(), parts, {}));
    EXPECT_EQ(GetLastError(), codes::NoKeyProperty);
    EXPECT_FALSE(SignDetached(nullptr, other.pair.key.get(), parts, {}));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_EQ(ERR_peek_error(), 0u);
}

TEST(CoreVerification, GivesTheSignerOfAnOpenSslSignatureWithItsVerdict)
{
    TempDir dir;
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_512, "CN=OpenSSL signer");
    const std::string content = PseudoRandomBytes(9000, 5);
    WriteFile(dir.file("data.bin"), content);
    WriteCertificatePem(signer, dir.file("signer.pem"));
    WriteKeyPem(signer, dir.file("signer.key"));
    std::string log;
    ASSERT_EQ(RunOpenSsl(dir.path(),
                         "cms -sign -binary -noattr -in data.bin -outform DER -out made.sig "
                         "-signer signer.pem -inkey signer.key",
                         &log),
              0)
        << log;
    const std::string signature = ReadFile(dir.file("made.sig"));
    const ByteView parts[] = {View(content)};

    const SignatureCheck good = ordalis::VerifyDetached(View(signature), parts);
    EXPECT_TRUE(good.valid()) << std::hex << good.status;
    ASSERT_TRUE(good.signer);
    EXPECT_EQ(X509_cmp(good.signer.get(), signer.pair.certificate.get()), 0);

    const std::string changed = content.substr(0, 8999) + "!";
    const ByteView changedParts[] = {View(changed)};
    const SignatureCheck bad = ordalis::VerifyDetached(View(signature), changedParts);
    EXPECT_FALSE(bad.valid());
    EXPECT_EQ(bad.status, codes::BadSignature);
    EXPECT_EQ(GetLastError(), codes::BadSignature);
    ASSERT_TRUE(bad.signer) << "who signed is known even when the signature fails";
    EXPECT_EQ(X509_cmp(bad.signer.get(), signer.pair.certificate.get()), 0);

    const SignatureCheck none = ordalis::VerifyDetached(View(signature), parts, 1);
    EXPECT_EQ(none.status, codes::InvalidIndex);
    EXPECT_FALSE(none.signer);
    EXPECT_EQ(ordalis::VerifyDetached({}, parts).status, codes::Asn1Eod);
    EXPECT_EQ(ERR_peek_error(), 0u);
}

class CoreEnvelopes : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(dir.file("plain.bin"), content);
        WriteCertificatePem(recipient, dir.file("recipient.pem"));
        WriteKeyPem(recipient, dir.file("recipient.key"));
    }

    TempDir dir;
    const Identity recipient = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=Recipient");
    const Identity outsider = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=Outsider");
    const std::string content = PseudoRandomBytes(70000, 9);
};

TEST_F(CoreEnvelopes, EncryptionForARecipientOpensWithOpenSsl)
{
    X509* recipients[] = {recipient.pair.certificate.get()};
    std::optional<OutgoingMessage> envelope = EncryptFor(recipients, View(content));
    ASSERT_TRUE(envelope) << std::hex << GetLastError();
    const std::optional<ByteBuffer> der = envelope->toDer();
    ASSERT_TRUE(der);
    EXPECT_EQ(Text(*der).find(content.substr(0, 64)), std::string::npos) << "the content goes out encrypted";
    WriteFile(dir.file("ours.enc"), Text(*der));
    std::string log;
    ASSERT_EQ(RunOpenSsl(dir.path(),
                         "cms -decrypt -binary -inform DER -in ours.enc -out ours.bin "
                         "-recip recipient.pem -inkey recipient.key",
                         &log),
              0)
        << log;
    EXPECT_TRUE(ReadFile(dir.file("ours.bin")) == content);

    X509* none[] = {nullptr};
    EXPECT_FALSE(EncryptFor(none, View(content)));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

TEST_F(CoreEnvelopes, OpenSslEnvelopeOpensForItsRecipientOnly)
{
    std::string log;
    ASSERT_EQ(RunOpenSsl(dir.path(),
                         "cms -encrypt -binary -gost89 -outform DER -in plain.bin -out theirs.enc "
                         "recipient.pem",
                         &log),
              0)
        << log;
    const std::string der = ReadFile(dir.file("theirs.enc"));
    std::optional<Envelope> envelope = Envelope::Decode(View(der));
    ASSERT_TRUE(envelope) << std::hex << GetLastError();
    EXPECT_GE(envelope->contentSizeBound(), content.size());
    EXPECT_TRUE(envelope->isAddressedTo(recipient.pair.certificate.get()));
    EXPECT_FALSE(envelope->isAddressedTo(outsider.pair.certificate.get()));

    EXPECT_FALSE(envelope->decrypt(outsider.pair.certificate.get(), outsider.pair.key.get()));
    EXPECT_EQ(GetLastError(), codes::NoDecryptCert);
    const std::optional<ByteBuffer> opened =
        envelope->decrypt(recipient.pair.certificate.get(), recipient.pair.key.get());
    ASSERT_TRUE(opened) << std::hex << GetLastError();
    EXPECT_TRUE(Text(*opened) == content);
    EXPECT_EQ(ERR_peek_error(), 0u);

    EXPECT_FALSE(Envelope::Decode(View(der.substr(0, der.size() - 1))));
    EXPECT_EQ(GetLastError(), codes::Asn1Eod);
}

TEST_F(CoreEnvelopes, DecryptAsksForTheKeyOfTheAddressedCandidateOnly)
{
    X509* recipients[] = {recipient.pair.certificate.get()};
    std::optional<OutgoingMessage> made = EncryptFor(recipients, View(content));
    ASSERT_TRUE(made);
    const std::optional<ByteBuffer> der = made->toDer();
    ASSERT_TRUE(der);
    std::vector<X509*> asked;
    const RecipientKeyLookup keyOf = [&](X509* candidate) {
        asked.push_back(candidate);
        EVP_PKEY* key = candidate == recipient.pair.certificate.get() ? recipient.pair.key.get() : nullptr;
        if (key)
            EVP_PKEY_up_ref(key);
        return EvpPkeyPtr(key);
    };

    X509* candidates[] = {outsider.pair.certificate.get(), recipient.pair.certificate.get()};
    const std::optional<ByteBuffer> opened = Decrypt(der->bytes(), candidates, keyOf);
    ASSERT_TRUE(opened) << std::hex << GetLastError();
    EXPECT_TRUE(Text(*opened) == content);
    EXPECT_EQ(asked, std::vector<X509*>{recipient.pair.certificate.get()});

    asked.clear();
    X509* strangers[] = {outsider.pair.certificate.get()};
    EXPECT_FALSE(Decrypt(der->bytes(), strangers, keyOf));
    EXPECT_EQ(GetLastError(), codes::NoDecryptCert);
    EXPECT_TRUE(asked.empty()) << "no password is asked of a certificate the message is not for";
    EXPECT_EQ(ERR_peek_error(), 0u);
}

TEST_F(CoreEnvelopes, KeyOfAnotherCertificateOpensNothingAndLeavesNothingBehind)
{
    X509* recipients[] = {recipient.pair.certificate.get()};
    std::optional<OutgoingMessage> made = EncryptFor(recipients, View(content));
    ASSERT_TRUE(made);
    const std::optional<ByteBuffer> der = made->toDer();
    ASSERT_TRUE(der);
    std::optional<Envelope> envelope = Envelope::Decode(der->bytes());
    ASSERT_TRUE(envelope);
    std::string out(envelope->contentSizeBound(), '\x5A');
    const std::span<unsigned char> room(reinterpret_cast<unsigned char*>(out.data()), out.size());
    EXPECT_FALSE(envelope->decryptInto(recipient.pair.certificate.get(), outsider.pair.key.get(), room));
    EXPECT_EQ(GetLastError(), codes::BadData);
    EXPECT_EQ(out.find(content.substr(0, 16)), std::string::npos);
    EXPECT_EQ(ERR_peek_error(), 0u);
}

} // namespace
} // namespace ordalis::test
