// The core's co-signing: what stays as it was, what the added signer gets, and refusals.

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/messages/MessageCore.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <openssl/err.h>

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

ByteView View(const std::string& s) { return {reinterpret_cast<const unsigned char*>(s.data()), s.size()}; }

std::string Der(OutgoingMessage& message)
{
    const std::optional<ByteBuffer> der = message.toDer();
    return der ? std::string(reinterpret_cast<const char*>(der->data()), der->length()) : std::string();
}

CmsPtr Decode(const std::string& der)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    return CmsPtr(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())));
}

std::string SignatureValue(CMS_SignerInfo* signer)
{
    const ASN1_OCTET_STRING* value = CMS_SignerInfo_get0_signature(signer);
    return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(value)), ASN1_STRING_length(value));
}

// The signer of the message whose certificate is the given one; null when none.
CMS_SignerInfo* SignerOf(CMS_ContentInfo* cms, X509* certificate)
{
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i)
        if (CMS_SignerInfo_cert_cmp(sk_CMS_SignerInfo_value(signers, i), certificate) == 0)
            return sk_CMS_SignerInfo_value(signers, i);
    return nullptr;
}

class SignerAddition : public ::testing::Test {
protected:
    // A signature of content by signer, with attributes when form says so.
    std::string signedBy(const Identity& signer, bool attached, SignatureForm form = SignatureForm::NoAttributes)
    {
        X509* carried[] = {signer.pair.certificate.get()};
        SignatureOptions options;
        options.certificates = carried;
        options.form = form;
        std::optional<OutgoingMessage> message =
            attached ? SignAttached(signer.pair.certificate.get(), signer.pair.key.get(), View(content), options)
                     : SignDetached(signer.pair.certificate.get(), signer.pair.key.get(), parts, options);
        EXPECT_TRUE(message) << std::hex << GetLastError();
        return message ? Der(*message) : std::string();
    }

    std::optional<OutgoingMessage> add(const std::string& signature, const Identity& signer,
                                       SignatureForm form = SignatureForm::NoAttributes, std::size_t* invalid = nullptr)
    {
        SignatureOptions options;
        options.form = form;
        return AddSigner(View(signature), parts, signer.pair.certificate.get(), signer.pair.key.get(), options,
                         invalid);
    }

    const std::string content = PseudoRandomBytes(20000, 9);
    const ByteView parts[1] = {View(content)};
    const Identity first = MakeIdentity(KeyAlgorithm::Gost2001, "CN=First");
    const Identity second = MakeIdentity(KeyAlgorithm::Gost2012_512, "CN=Second");
};

TEST_F(SignerAddition, KeepsTheSignersCertificatesDigestsAndFormThere)
{
    for (const bool attached : {false, true}) {
        const std::string signature = signedBy(first, attached);
        std::optional<OutgoingMessage> cosigned = add(signature, second);
        ASSERT_TRUE(cosigned) << std::hex << GetLastError();
        const std::string der = Der(*cosigned);
        EXPECT_EQ(ERR_peek_error(), 0u);

        CmsPtr before = Decode(signature), after = Decode(der);
        ASSERT_TRUE(after);
        EXPECT_EQ(sk_CMS_SignerInfo_num(CMS_get0_SignerInfos(after.get())), 2);
        CMS_SignerInfo* kept = SignerOf(after.get(), first.pair.certificate.get());
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(SignatureValue(kept), SignatureValue(SignerOf(before.get(), first.pair.certificate.get())));
        EXPECT_EQ(CMS_signed_get_attr_count(kept), -1) << "the first signer still has no attributes";
        X509StackPtr certificates(CMS_get1_certs(after.get()));
        EXPECT_EQ(sk_X509_num(certificates.get()), 2);

        // Attached stays attached with the same content; detached carries none.
        ASN1_OCTET_STRING** carried = CMS_get0_content(after.get());
        ASSERT_NE(carried, nullptr);
        if (attached)
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(*carried)),
                                  ASN1_STRING_length(*carried)),
                      content);
        else
            EXPECT_EQ(*carried, nullptr);

        EXPECT_TRUE(ordalis::VerifyDetached(View(der), parts, 0).valid());
        EXPECT_TRUE(ordalis::VerifyDetached(View(der), parts, 1).valid());
        CMS_SignerInfo* added = SignerOf(after.get(), second.pair.certificate.get());
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(CMS_signed_get_attr_count(added), 3) << "content type, message digest, signing time";
    }
}

TEST_F(SignerAddition, CadesCosignerGetsTheCertificateReference)
{
    const std::string signature = signedBy(first, false, SignatureForm::CadesBes);
    std::optional<OutgoingMessage> cosigned = add(signature, second, SignatureForm::CadesBes);
    ASSERT_TRUE(cosigned);
    CmsPtr after = Decode(Der(*cosigned));
    CMS_SignerInfo* added = SignerOf(after.get(), second.pair.certificate.get());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(CMS_signed_get_attr_count(added), 4);
    EXPECT_GE(CMS_signed_get_attr_by_NID(added, NID_id_smime_aa_signingCertificateV2, -1), 0);

    // A signer whose certificate the message already carries: it is not carried twice.
    std::optional<OutgoingMessage> again = add(signature, first);
    ASSERT_TRUE(again);
    CmsPtr twice = Decode(Der(*again));
    X509StackPtr certificates(CMS_get1_certs(twice.get()));
    EXPECT_EQ(sk_X509_num(certificates.get()), 1);
}

TEST_F(SignerAddition, RefusesWhenASignerThereDoesNotHold)
{
    std::optional<OutgoingMessage> made = add(signedBy(first, false), second);
    ASSERT_TRUE(made);
    const std::string cosigned = Der(*made);
    const std::string changed = content.substr(1) + "!";
    const ByteView changedParts[] = {View(changed)};
    const Identity third = MakeIdentity(KeyAlgorithm::Gost2012_256, "CN=Third");
    std::size_t invalid = 99;
    SignatureOptions options;
    EXPECT_FALSE(
        AddSigner(View(cosigned), changedParts, third.pair.certificate.get(), third.pair.key.get(), options, &invalid));
    EXPECT_EQ(invalid, 0u);
    EXPECT_EQ(GetLastError(), codes::BadSignature);

    // The last signature value damaged: its signer is named.
    std::string damaged = cosigned;
    invalid = 99;
    const std::size_t at = damaged.size() - 10;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x01);
    EXPECT_FALSE(add(damaged, third, SignatureForm::NoAttributes, &invalid));
    EXPECT_LT(invalid, 2u) << "the damaged signer is named";

    invalid = 99;
    EXPECT_FALSE(add("not a signature", third, SignatureForm::NoAttributes, &invalid));
    EXPECT_EQ(invalid, 99u) << "no signer to name";
    EXPECT_EQ(ERR_peek_error(), 0u);
}

} // namespace
} // namespace ordalis::test
