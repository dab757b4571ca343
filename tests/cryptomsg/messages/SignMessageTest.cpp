#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

// What a signed message holds, read back with OpenSSL.
struct SignedShape {
    int signers = -1;
    int certificates = -1;
    int signedAttributes = 0;
    bool detached = false;
    bool signerIsIssuerAndSerial = false;
    bool signerCertificateIsTheOne = false;
    std::string digestOid;
};

SignedShape ShapeOf(const std::string& der, X509* expectedSigner)
{
    SignedShape shape;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
    if (!cms)
        return shape;
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
    shape.signers = sk_CMS_SignerInfo_num(signers);
    X509StackPtr certificates(CMS_get1_certs(cms.get()));
    shape.certificates = certificates ? sk_X509_num(certificates.get()) : 0;
    shape.signerCertificateIsTheOne =
        shape.certificates == 1 && X509_cmp(sk_X509_value(certificates.get(), 0), expectedSigner) == 0;
    shape.detached = CMS_is_detached(cms.get()) == 1;
    if (shape.signers < 1)
        return shape;
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
    shape.signedAttributes = CMS_signed_get_attr_count(signer);
    ASN1_OCTET_STRING* keyId = nullptr;
    X509_NAME* issuer = nullptr;
    ASN1_INTEGER* serial = nullptr;
    shape.signerIsIssuerAndSerial = CMS_SignerInfo_get0_signer_id(signer, &keyId, &issuer, &serial) == 1 && !keyId &&
                                    X509_NAME_cmp(issuer, X509_get_issuer_name(expectedSigner)) == 0 &&
                                    ASN1_INTEGER_cmp(serial, X509_get0_serialNumber(expectedSigner)) == 0;
    X509_ALGOR* digest = nullptr;
    CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, nullptr);
    const ASN1_OBJECT* object = nullptr;
    X509_ALGOR_get0(&object, nullptr, nullptr, digest);
    char text[64] = {0};
    OBJ_obj2txt(text, sizeof text, object, 1);
    shape.digestOid = text;
    return shape;
}

class GostSigning : public ::testing::TestWithParam<GostCase> {
protected:
    TempDir dir;
};

TEST_P(GostSigning, DetachedSignatureIsTheDesignedMessageAndOpenSslAcceptsIt)
{
    const Identity signer = MakeIdentity(GetParam().algorithm);
    const std::string content = PseudoRandomBytes(70000, 1) + "\r\nline\n\r\n"; // binary, with line ends
    const Outcome signature = SignMessage(signer.context.get(), GetParam().hashOid, content, true);
    ASSERT_TRUE(signature.ok) << std::hex << signature.error;

    const SignedShape shape = ShapeOf(signature.bytes, signer.pair.certificate.get());
    EXPECT_EQ(shape.signers, 1);
    EXPECT_TRUE(shape.signerCertificateIsTheOne);
    EXPECT_EQ(shape.signedAttributes, -1) << "no signed attributes";
    EXPECT_TRUE(shape.detached);
    EXPECT_TRUE(shape.signerIsIssuerAndSerial);
    EXPECT_EQ(shape.digestOid, GetParam().hashOid);

    WriteFile(dir.file("data.bin"), content);
    WriteFile(dir.file("data.sig"), signature.bytes);
    std::string log;
    EXPECT_EQ(RunOpenSsl(dir.path(),
                         "cms -verify -binary -noverify -inform DER -in data.sig -content data.bin "
                         "-out checked.bin",
                         &log),
              0)
        << log;
    EXPECT_EQ(ReadFile(dir.file("checked.bin")), content);
}

TEST_P(GostSigning, AttachedSignatureCarriesTheContentOpenSslExtracts)
{
    const Identity signer = MakeIdentity(GetParam().algorithm);
    const std::string content = PseudoRandomBytes(5000, 2);
    const Outcome signature = SignMessage(signer.context.get(), GetParam().hashOid, content, false);
    ASSERT_TRUE(signature.ok) << std::hex << signature.error;
    const SignedShape shape = ShapeOf(signature.bytes, signer.pair.certificate.get());
    EXPECT_FALSE(shape.detached);
    EXPECT_EQ(shape.signedAttributes, -1);

    WriteFile(dir.file("data.sig"), signature.bytes);
    std::string log;
    ASSERT_EQ(RunOpenSsl(dir.path(), "cms -verify -binary -noverify -inform DER -in data.sig -out extracted.bin", &log),
              0)
        << log;
    EXPECT_EQ(ReadFile(dir.file("extracted.bin")), content);
}

TEST_P(GostSigning, EmptyContentSignsLikeAnyOther)
{
    const Identity signer = MakeIdentity(GetParam().algorithm);
    for (bool detached : {true, false}) {
        const Outcome signature = SignMessage(signer.context.get(), GetParam().hashOid, "", detached);
        ASSERT_TRUE(signature.ok) << std::hex << signature.error;
        WriteFile(dir.file("empty.bin"), "");
        WriteFile(dir.file("empty.sig"), signature.bytes);
        const std::string content = detached ? " -content empty.bin" : "";
        std::string log;
        EXPECT_EQ(RunOpenSsl(dir.path(),
                             "cms -verify -binary -noverify -inform DER -in empty.sig -out out.bin" + content, &log),
                  0)
            << log;
        EXPECT_EQ(ReadFile(dir.file("out.bin")), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, GostSigning, ::testing::ValuesIn(GostCases()),
                         [](const auto& info) { return CaseName(info.param.algorithm); });

TEST(SigningAlgorithms, HashIdentifiersThatNameNoUsableDigestFailWithACode)
{
    const Identity rsa = MakeIdentity(KeyAlgorithm::Rsa2048);
    const Identity gost = MakeIdentity(KeyAlgorithm::Gost2012_256);
    struct Case {
        PCCERT_CONTEXT signer;
        const char* oid;
        std::uint32_t code;
    };
    const Case cases[] = {
        {rsa.context.get(), "", codes::UnknownAlgo}, // an RSA certificate gets the empty identifier
        {rsa.context.get(), nullptr, codes::UnknownAlgo},
        {gost.context.get(), "1.2.3.4.5", codes::UnknownAlgo}, // well formed, no such digest
        {gost.context.get(), "not an oid", codes::BadAlgId},
        {gost.context.get(), "1.2.643.7.1.1.2.3", codes::BadAlgId}, // 512-bit hash for a 256-bit key
    };
    for (const Case& c : cases) {
        SetLastError(0);
        const Outcome signature = SignMessage(c.signer, c.oid, "content", true);
        EXPECT_FALSE(signature.ok) << (c.oid ? c.oid : "null");
        EXPECT_EQ(signature.error, c.code) << (c.oid ? c.oid : "null");
    }
}

TEST(SigningKeys, ACertificateWithoutItsOwnPrivateKeyCannotSign)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const Identity other = MakeIdentity(KeyAlgorithm::Gost2012_256);
    const char* hash = "1.2.643.7.1.1.2.2";

    // A certificate made from bytes has no key anywhere.
    CertContextPtr bare(
        CertCreateCertificateContext(kEncodingType, signer.context->pbCertEncoded, signer.context->cbCertEncoded));
    ASSERT_TRUE(bare);
    EXPECT_EQ(SignMessage(bare.get(), hash, "content", true).error, codes::NoKeyProperty);

    // Another certificate's key must not sign in this one's name.
    SetCertContextKey(bare.get(), other.pair.key.get());
    EXPECT_EQ(SignMessage(bare.get(), hash, "content", true).error, codes::NoKeyProperty);
}

TEST(SigningPasses, SizePassBoundsTheMessageAndASmallBufferAsksForMore)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    PCCERT_CONTEXT context = signer.context.get();
    const std::string content = PseudoRandomBytes(3000, 3);
    const CRYPT_SIGN_MESSAGE_PARA para = SignPara(&context, "1.2.643.7.1.1.2.2");
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(content.data())};
    DWORD sizes[] = {static_cast<DWORD>(content.size())};

    for (BOOL detached : {1, 0}) {
        DWORD bound = 0;
        ASSERT_TRUE(CryptSignMessage(&para, detached, 1, parts, sizes, nullptr, &bound));
        const Outcome real = SignMessage(context, "1.2.643.7.1.1.2.2", content, detached != 0);
        ASSERT_TRUE(real.ok);
        EXPECT_GE(bound, real.bytes.size());
        EXPECT_EQ(detached != 0, bound < content.size()) << "an attached message holds the content";

        std::string small(real.bytes.size() - 1, '\0');
        DWORD size = static_cast<DWORD>(small.size());
        EXPECT_FALSE(CryptSignMessage(&para, detached, 1, parts, sizes, reinterpret_cast<BYTE*>(small.data()), &size));
        EXPECT_EQ(GetLastError(), codes::ErrorMoreData);
        EXPECT_EQ(size, real.bytes.size());
    }
}

TEST(SigningPasses, DetachedContentInSeveralPartsIsSignedAsOneWhole)
{
    TempDir dir;
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_512);
    PCCERT_CONTEXT context = signer.context.get();
    const std::string first = PseudoRandomBytes(1000, 4), second = PseudoRandomBytes(2500, 5);
    const CRYPT_SIGN_MESSAGE_PARA para = SignPara(&context, "1.2.643.7.1.1.2.3");
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(first.data()), nullptr,
                           reinterpret_cast<const BYTE*>(second.data())};
    DWORD sizes[] = {static_cast<DWORD>(first.size()), 0, static_cast<DWORD>(second.size())};
    DWORD size = 0;
    ASSERT_TRUE(CryptSignMessage(&para, 1, 3, parts, sizes, nullptr, &size));
    std::string signature(size, '\0');
    ASSERT_TRUE(CryptSignMessage(&para, 1, 3, parts, sizes, reinterpret_cast<BYTE*>(signature.data()), &size));
    signature.resize(size);

    WriteFile(dir.file("whole.bin"), first + second);
    WriteFile(dir.file("whole.sig"), signature);
    std::string log;
    EXPECT_EQ(RunOpenSsl(dir.path(),
                         "cms -verify -binary -noverify -inform DER -in whole.sig -content whole.bin "
                         "-out /dev/null",
                         &log),
              0)
        << log;
}

TEST(SigningArguments, MalformedCallsFailWithInvalidArgument)
{
    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    PCCERT_CONTEXT context = signer.context.get();
    const std::string content = "content";
    const BYTE* parts[] = {reinterpret_cast<const BYTE*>(content.data()),
                           reinterpret_cast<const BYTE*>(content.data())};
    DWORD sizes[] = {static_cast<DWORD>(content.size()), static_cast<DWORD>(content.size())};
    const CRYPT_SIGN_MESSAGE_PARA good = SignPara(&context, "1.2.643.7.1.1.2.2");
    DWORD size = 0;

    EXPECT_FALSE(CryptSignMessage(nullptr, 1, 1, parts, sizes, nullptr, &size));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    EXPECT_FALSE(CryptSignMessage(&good, 1, 1, parts, sizes, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    CRYPT_SIGN_MESSAGE_PARA noSigner = good;
    noSigner.pSigningCert = nullptr;
    EXPECT_FALSE(CryptSignMessage(&noSigner, 1, 1, parts, sizes, nullptr, &size));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    CRYPT_SIGN_MESSAGE_PARA shortRecord = good;
    shortRecord.cbSize = 20;
    EXPECT_FALSE(CryptSignMessage(&shortRecord, 1, 1, parts, sizes, nullptr, &size));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    // An attached message carries exactly one content part.
    EXPECT_FALSE(CryptSignMessage(&good, 0, 2, parts, sizes, nullptr, &size));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
    const BYTE* missing[] = {nullptr};
    EXPECT_FALSE(CryptSignMessage(&good, 1, 1, missing, sizes, nullptr, &size));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

} // namespace
} // namespace ordalis::test
