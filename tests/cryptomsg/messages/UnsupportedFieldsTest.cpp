#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/messages/MessageApi.h"
#include "tests/cryptomsg/messages/MessageFixtures.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

// Valid records of the three calls whose records have fields the adapters do not implement.
struct Records {
    CRYPT_SIGN_MESSAGE_PARA sign{};
    CRYPT_VERIFY_MESSAGE_PARA verify{};
    CRYPT_ENCRYPT_MESSAGE_PARA encrypt{};
};

enum class Call { Sign, Verify, Encrypt };

struct FieldCase {
    const char* field;
    Call call;
    void (*set)(Records&);
};

void PrintTo(const FieldCase& c, std::ostream* out) { *out << c.field; }

int g_anything = 1; // an address that is not null

class UnsupportedField : public ::testing::TestWithParam<FieldCase> {
protected:
    void SetUp() override
    {
        context = signer.context.get();
        records.sign = SignPara(&context, "1.2.643.7.1.1.2.2");
        records.verify = {kVerifyMessageParaSize, kEncodingType, nullptr, nullptr, nullptr};
        records.encrypt.cbSize = kEncryptMessageParaSize;
        records.encrypt.dwMsgEncodingType = kEncodingType;
        records.encrypt.ContentEncryptionAlgorithm.pszObjId = "1.2.643.7.1.1.1.1";
        signature = SignMessage(context, "1.2.643.7.1.1.2.2", content, true).bytes;
        ASSERT_FALSE(signature.empty());
    }

    // The call's size pass (verification has one pass only).
    bool run(const Records& r)
    {
        const BYTE* parts[] = {reinterpret_cast<const BYTE*>(content.data())};
        DWORD sizes[] = {static_cast<DWORD>(content.size())};
        DWORD size = 0;
        PCCERT_CONTEXT recipients[] = {context};
        switch (GetParam().call) {
        case Call::Sign: return CryptSignMessage(&r.sign, 1, 1, parts, sizes, nullptr, &size) != 0;
        case Call::Verify:
            return CryptVerifyDetachedMessageSignature(&r.verify, 0, reinterpret_cast<const BYTE*>(signature.data()),
                                                       static_cast<DWORD>(signature.size()), 1, parts, sizes,
                                                       nullptr) != 0;
        case Call::Encrypt:
            return CryptEncryptMessage(&r.encrypt, 1, recipients, parts[0], sizes[0], nullptr, &size) != 0;
        }
        return false;
    }

    const Identity signer = MakeIdentity(KeyAlgorithm::Gost2012_256);
    PCCERT_CONTEXT context = nullptr;
    Records records;
    const std::string content = "content";
    std::string signature;
};

TEST_P(UnsupportedField, SetIsRefusedAsAnInvalidArgumentInsteadOfIgnored)
{
    ASSERT_TRUE(run(records)) << std::hex << GetLastError();
    Records changed = records;
    GetParam().set(changed);
    SetLastError(0);
    EXPECT_FALSE(run(changed));
    EXPECT_EQ(GetLastError(), codes::InvalidArg);
}

INSTANTIATE_TEST_SUITE_P(
    Records, UnsupportedField,
    ::testing::Values(
        FieldCase{"cAuthAttr", Call::Sign, [](Records& r) { r.sign.cAuthAttr = 1; }},
        FieldCase{"rgAuthAttr", Call::Sign, [](Records& r) { r.sign.rgAuthAttr = &g_anything; }},
        FieldCase{"cUnauthAttr", Call::Sign, [](Records& r) { r.sign.cUnauthAttr = 1; }},
        FieldCase{"signDwFlags", Call::Sign, [](Records& r) { r.sign.dwFlags = 1; }},
        FieldCase{"signDwInnerContentType", Call::Sign, [](Records& r) { r.sign.dwInnerContentType = 1; }},
        FieldCase{"pvHashAuxInfo", Call::Sign, [](Records& r) { r.sign.pvHashAuxInfo = &g_anything; }},
        FieldCase{"cMsgCrl", Call::Sign, [](Records& r) { r.sign.cMsgCrl = 1; }},
        FieldCase{"verifyHCryptProv", Call::Verify,
                  [](Records& r) { r.verify.hCryptProv = reinterpret_cast<HCRYPTPROV>(&g_anything); }},
        FieldCase{"pfnGetSignerCertificate", Call::Verify,
                  [](Records& r) { r.verify.pfnGetSignerCertificate = &g_anything; }},
        FieldCase{"encryptHCryptProv", Call::Encrypt,
                  [](Records& r) { r.encrypt.hCryptProv = reinterpret_cast<HCRYPTPROV>(&g_anything); }},
        FieldCase{"pvEncryptionAuxInfo", Call::Encrypt,
                  [](Records& r) { r.encrypt.pvEncryptionAuxInfo = &g_anything; }},
        FieldCase{"encryptDwFlags", Call::Encrypt, [](Records& r) { r.encrypt.dwFlags = 0x80000000; }},
        FieldCase{"encryptDwInnerContentType", Call::Encrypt, [](Records& r) { r.encrypt.dwInnerContentType = 1; }}),
    [](const ::testing::TestParamInfo<FieldCase>& info) { return std::string(info.param.field); });

} // namespace
} // namespace ordalis::test
