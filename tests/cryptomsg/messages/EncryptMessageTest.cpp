#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

// The DER of the OID 1.2.643.2.2.21, GOST 28147-89.
const std::string kGost89Oid("\x06\x06\x2A\x85\x03\x02\x02\x15", 8);

CertContextPtr FromDerFile(const std::string& path)
{
    const std::string der = ReadFile(path);
    return CertContextPtr(CertCreateCertificateContext(kEncodingType, reinterpret_cast<const BYTE*>(der.data()),
                                                       static_cast<DWORD>(der.size())));
}

class GostEnvelopes : public ::testing::TestWithParam<GostCase> {
protected:
    void SetUp() override { store.addStandardSet(); }

    const TestCertificate& recipient() const { return store.get(CaseName(GetParam().algorithm)); }

    TestStore store;
};

TEST_P(GostEnvelopes, RoundTripsThroughTheStoreForEverySize)
{
    const CertContextPtr cer = FromDerFile(recipient().derFile);
    ASSERT_TRUE(cer);
    const CertStorePtr my = store.open();
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{4097}, std::size_t{3} << 20}) {
        const std::string content = PseudoRandomBytes(size, static_cast<unsigned>(size));
        const Outcome envelope = EncryptMessage({cer.get()}, GetParam().keyOid, content);
        ASSERT_TRUE(envelope.ok) << size << ": " << std::hex << envelope.error;
        EXPECT_NE(envelope.bytes.find(kGost89Oid), std::string::npos) << "GOST 28147-89 content cipher";
        if (size > 16) {
            EXPECT_EQ(envelope.bytes.find(content.substr(0, 16)), std::string::npos) << "content in clear";
        }

        CertContextPtr exchange;
        const Outcome opened = DecryptMessage({my.get()}, envelope.bytes, &exchange);
        ASSERT_TRUE(opened.ok) << size << ": " << std::hex << opened.error;
        EXPECT_TRUE(opened.bytes == content) << size;
        ASSERT_TRUE(exchange);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(exchange->pbCertEncoded), exchange->cbCertEncoded),
                  ReadFile(recipient().derFile));
    }
}

TEST_P(GostEnvelopes, OpenSslOpensOursAndWeOpenOpenSsls)
{
    const std::string content = PseudoRandomBytes(10000, 11);
    WriteFile(store.path("plain.bin"), content);
    const std::string certificate = recipient().certificateFile;
    const std::string key = KeyFileOf(certificate);
    const std::string folder = store.path("");
    const CertContextPtr cer = FromDerFile(recipient().derFile);

    const Outcome ours = EncryptMessage({cer.get()}, GetParam().keyOid, content);
    ASSERT_TRUE(ours.ok);
    WriteFile(store.path("ours.enc"), ours.bytes);
    std::string log;
    ASSERT_EQ(RunOpenSsl(folder,
                         "cms -decrypt -binary -inform DER -in ours.enc -out ours.bin -recip '" + certificate +
                             "' -inkey '" + key + "'",
                         &log),
              0)
        << log;
    EXPECT_TRUE(ReadFile(store.path("ours.bin")) == content);

    // Definite lengths, and the indefinite-length (BER) form that streaming writes.
    const CertStorePtr my = store.open();
    for (const std::string form : {"", " -stream"}) {
        ASSERT_EQ(RunOpenSsl(folder,
                             "cms -encrypt -binary -gost89 -outform DER -in plain.bin -out theirs.enc" + form + " '" +
                                 certificate + "'",
                             &log),
                  0)
            << log;
        const Outcome opened = DecryptMessage({my.get()}, ReadFile(store.path("theirs.enc")));
        ASSERT_TRUE(opened.ok) << form << std::hex << opened.error;
        EXPECT_TRUE(opened.bytes == content) << form;
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, GostEnvelopes, ::testing::ValuesIn(GostCases()),
                         [](const auto& info) { return CaseName(info.param.algorithm); });

TEST(EnvelopeRecipients, EveryRecipientCanOpenTheMessage)
{
    TestStore store;
    store.addStandardSet();
    TempDir dir;
    const Identity outsider = MakeIdentity(KeyAlgorithm::Gost2001);
    const CertContextPtr member = store.context("gost2012_512");
    const std::string content = PseudoRandomBytes(2000, 12);
    const Outcome envelope = EncryptMessage({outsider.context.get(), member.get()}, "1.2.643.7.1.1.1.2", content);
    ASSERT_TRUE(envelope.ok) << std::hex << envelope.error;

    const CertStorePtr my = store.open();
    const Outcome opened = DecryptMessage({my.get()}, envelope.bytes);
    ASSERT_TRUE(opened.ok) << std::hex << opened.error;
    EXPECT_TRUE(opened.bytes == content);

    WriteFile(dir.file("m.enc"), envelope.bytes);
    WriteCertificatePem(outsider, dir.file("outsider.pem"));
    WriteKeyPem(outsider, dir.file("outsider.key"));
    std::string log;
    ASSERT_EQ(RunOpenSsl(dir.path(),
                         "cms -decrypt -binary -inform DER -in m.enc -out m.bin -recip outsider.pem "
                         "-inkey outsider.key",
                         &log),
              0)
        << log;
    EXPECT_TRUE(ReadFile(dir.file("m.bin")) == content);
}

TEST(EnvelopeAlgorithms, OnlyGostRecipientsAreAccepted)
{
    const Identity rsa = MakeIdentity(KeyAlgorithm::Rsa2048);
    const Identity gost = MakeIdentity(KeyAlgorithm::Gost2012_256);
    struct Case {
        const char* what;
        PCCERT_CONTEXT recipient;
        const char* oid;
    };
    const Case cases[] = {
        {"an RSA certificate with its own identifier", rsa.context.get(), "1.2.840.113549.1.1.1"},
        {"a GOST identifier for an RSA certificate", rsa.context.get(), "1.2.643.7.1.1.1.1"},
        {"a cipher identifier instead of the key's", gost.context.get(), "1.2.643.2.2.21"},
        {"an empty identifier", gost.context.get(), ""},
        {"no identifier", gost.context.get(), nullptr},
    };
    for (const Case& c : cases) {
        const Outcome envelope = EncryptMessage({c.recipient}, c.oid, "content");
        EXPECT_FALSE(envelope.ok) << c.what;
        EXPECT_EQ(envelope.error, codes::UnknownAlgo) << c.what;
    }
}

TEST(EnvelopePasses, SizePassBoundsTheMessageAndBadCallsFail)
{
    const Identity gost = MakeIdentity(KeyAlgorithm::Gost2012_256);
    PCCERT_CONTEXT recipients[] = {gost.context.get()};
    const std::string content = PseudoRandomBytes(5000, 13);
    CRYPT_ENCRYPT_MESSAGE_PARA para{};
    para.cbSize = kEncryptMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.ContentEncryptionAlgorithm.pszObjId = "1.2.643.7.1.1.1.1";
    const BYTE* bytes = reinterpret_cast<const BYTE*>(content.data());
    const DWORD size = static_cast<DWORD>(content.size());

    DWORD bound = 0;
    ASSERT_TRUE(CryptEncryptMessage(&para, 1, recipients, bytes, size, nullptr, &bound));
    std::string out(bound, '\0');
    DWORD written = bound;
    ASSERT_TRUE(CryptEncryptMessage(&para, 1, recipients, bytes, size, reinterpret_cast<BYTE*>(out.data()), &written));
    EXPECT_LE(written, bound);
    EXPECT_GT(written, size);

    // Too small a buffer: the size needed comes back and no plain content is left in it.
    std::string small(written - 1, '\0');
    DWORD smallSize = static_cast<DWORD>(small.size());
    EXPECT_FALSE(
        CryptEncryptMessage(&para, 1, recipients, bytes, size, reinterpret_cast<BYTE*>(small.data()), &smallSize));
    EXPECT_EQ(GetLastError(), codes::ErrorMoreData);
    EXPECT_EQ(smallSize, written);
    EXPECT_EQ(small.find(content.substr(0, 32)), std::string::npos);

    EXPECT_FALSE(CryptEncryptMessage(&para, 0, recipients, bytes, size, nullptr, &bound));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    PCCERT_CONTEXT none[] = {nullptr};
    EXPECT_FALSE(CryptEncryptMessage(&para, 1, none, bytes, size, nullptr, &bound));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_FALSE(CryptEncryptMessage(&para, 1, recipients, nullptr, size, nullptr, &bound));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_FALSE(CryptEncryptMessage(nullptr, 1, recipients, bytes, size, nullptr, &bound));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

} // namespace
} // namespace ordalis::test
