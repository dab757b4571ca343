#include "common/Error.h"
#include "cryptomsg/operations/Operations.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

const std::string kFirst = "Проверка отсоединенной подписи.....";
const std::string kInvalid = "X - Подпись математически не верна";

class VerifyOperationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        ::mkdir(store.path("").c_str(), 0700);
        source = store.path("contract.txt");
        WriteFile(source, "The parties agree.\n");
    }

    // Signs source with the certificate through the signing operation.
    std::string Sign(const std::string& label, bool base64 = false)
    {
        FakeDesktop signing;
        signing.certificateAnswers.push_back(store.indexOf(label));
        TestSignTab tab;
        tab.file = source;
        tab.base64 = base64;
        return SignOperation(tab, signing).outputs.at(0);
    }

    TestVerifyTab Verify(const std::string& signature)
    {
        TestVerifyTab tab;
        tab.file = source;
        tab.signature = signature;
        VerifyOperation(tab, desktop);
        return tab;
    }

    std::string Subject(const std::string& label) { return "2.5.4.3=" + label + ", 2.5.4.10=Ordalis Test"; }

    TestStore store;
    FakeDesktop desktop;
    std::string source;
};

} // namespace

TEST_F(VerifyOperationTest, OwnSignaturesVerifyWithTheFullReport)
{
    for (const char* label : {"gost2001", "gost2012_256", "gost2012_512"}) {
        for (const bool base64 : {false, true}) {
            SCOPED_TRACE(std::string(label) + (base64 ? " p7s" : " sig"));
            desktop = FakeDesktop{};
            const TestVerifyTab tab = Verify(Sign(label, base64));
            ASSERT_EQ(tab.report.size(), 8u);
            EXPECT_EQ(tab.report[0], kFirst);
            EXPECT_EQ(tab.report[1], "V - Подпись математически верна...");
            EXPECT_EQ(tab.report[2].rfind("Серийный номер сертификата:", 0), 0u);
            EXPECT_EQ(tab.report[3], "V Сертификат действующий по дате..");
            EXPECT_EQ(tab.report[4], "КОНТЕКСТ ПОЛЬЗОВАТЕЛЯ");
            EXPECT_EQ(tab.report[6], "КОНТЕКСТ ЦЕНТРА СЕРТИФИКАЦИИ");
            EXPECT_EQ(tab.report[5], tab.report[7]); // self-signed
            EXPECT_EQ(desktop.viewedCertificates, 1);
            EXPECT_TRUE(tab.reset);
        }
    }
}

TEST_F(VerifyOperationTest, ChangedContentIsInvalid)
{
    const std::string signature = Sign("gost2012_256");
    std::string changed = ReadFile(source);
    changed[3] ^= 1;
    WriteFile(source, changed);
    const TestVerifyTab tab = Verify(signature);
    EXPECT_EQ(tab.report, (std::vector<std::string>{kFirst, kInvalid}));
    EXPECT_EQ(desktop.viewedCertificates, 0);
    EXPECT_TRUE(tab.reset);
}

TEST_F(VerifyOperationTest, ExpiredCertificateIsValidButOutOfDate)
{
    store.addExpired("old");
    const TestVerifyTab tab = Verify(Sign("old"));
    ASSERT_EQ(tab.report.size(), 8u);
    EXPECT_EQ(tab.report[1], "V - Подпись математически верна...");
    EXPECT_EQ(tab.report[3], "X Сертификат не действующий по дате");
    EXPECT_EQ(tab.report[5], Subject("old"));
}

TEST_F(VerifyOperationTest, SixteenByteSerialShowsInEightGroups)
{
    store.addWithSerial("serial", "7F0102030405060708090A0B0C0D0E0F");
    const TestVerifyTab tab = Verify(Sign("serial"));
    ASSERT_GE(tab.report.size(), 3u);
    EXPECT_EQ(tab.report[2], "Серийный номер сертификата:7F01 0203 0405 0607 0809 0A0B 0C0D 0E0F");
}

TEST_F(VerifyOperationTest, OpensslSignaturesVerify)
{
    const auto& first = store.get("gost2012_256");
    const auto& second = store.get("gost2012_512");
    const std::string folder = store.path("");
    auto key = [](const TestCertificate& c) {
        return c.certificateFile.substr(0, c.certificateFile.size() - 4) + ".key";
    };
    struct Case {
        const char* name;
        std::string args;
    };
    const Case cases[] = {
        {"no attributes", "-noattr -signer " + first.certificateFile + " -inkey " + key(first)},
        {"signed attributes", "-signer " + first.certificateFile + " -inkey " + key(first)},
        {"two signers", "-signer " + first.certificateFile + " -inkey " + key(first) + " -signer " +
                            second.certificateFile + " -inkey " + key(second)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string printed;
        ASSERT_EQ(RunOpenSsl(folder, "cms -sign -binary -outform DER -in contract.txt -out os.sig " + c.args, &printed),
                  0)
            << printed;
        desktop = FakeDesktop{};
        const TestVerifyTab tab = Verify(store.path("os.sig"));
        ASSERT_EQ(tab.report.size(), 8u);
        EXPECT_EQ(tab.report[1], "V - Подпись математически верна...");
        EXPECT_TRUE(tab.report[5] == Subject("gost2012_256") || tab.report[5] == Subject("gost2012_512"))
            << tab.report[5];
    }
    // Base64 text with LF line ends (openssl's PEM body) and 64-column lines.
    std::string printed;
    ASSERT_EQ(RunOpenSsl(folder,
                         "cms -sign -binary -noattr -outform DER -in contract.txt -out os.der -signer " +
                             first.certificateFile + " -inkey " + key(first),
                         &printed),
              0);
    ASSERT_EQ(RunOpenSsl(folder, "base64 -in os.der -out os.p7s", &printed, false), 0);
    desktop = FakeDesktop{};
    EXPECT_EQ(Verify(store.path("os.p7s")).report.at(1), "V - Подпись математически верна...");
}

TEST_F(VerifyOperationTest, EmptyOrDamagedSignaturesAreInvalid)
{
    WriteFile(store.path("empty.sig"), "");
    EXPECT_EQ(Verify(store.path("empty.sig")).report, (std::vector<std::string>{kFirst, kInvalid}));

    std::string der = ReadFile(Sign("gost2012_256"));
    WriteFile(store.path("short.sig"), der.substr(0, der.size() / 2));
    EXPECT_EQ(Verify(store.path("short.sig")).report, (std::vector<std::string>{kFirst, kInvalid}));
}

TEST_F(VerifyOperationTest, FileErrorsKeepTheSelectionAndTheReport)
{
    struct Case {
        std::string file, signature, message;
    };
    const std::string signature = Sign("gost2012_256");
    const Case cases[] = {
        {source, store.path("missing.sig"), "File not found"},
        {source, "", "I/O error 6"},
        {store.path("missing.txt"), signature, "Cannot open file \"" + store.path("missing.txt") + "\". "},
        {"", signature, "Cannot open file \""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TestVerifyTab tab;
        tab.file = c.file;
        tab.signature = c.signature;
        try {
            VerifyOperation(tab, desktop);
            FAIL() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
        }
        EXPECT_EQ(tab.report, std::vector<std::string>{"Memo1"});
        EXPECT_FALSE(tab.reset);
    }
}

TEST(FirstLine, ArmourTestLooksAtTheFirstLineOnly)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        bool armoured;
    };
    const Case cases[] = {
        {"MIIB", true},
        {"xxMI", true},
        {"M\rI", true},    // carriage returns are no part of the line
        {"\nMIIB", false}, // a blank first line
        {"-----BEGIN CMS-----\nMII", false},
        {std::string("ab\0MI", 5), false}, // the search stops at a zero byte
        {"ab\x1aMI", false},               // text end-of-file mark
        {"Mi", false},
        {"", false},
        {std::string(10000, 'a') + "MI", true}, // a long first line is read to its end
    };
    for (const auto& c : cases) {
        WriteFile(dir.file("s"), c.bytes);
        EXPECT_EQ(FirstLineLooksArmoured(dir.file("s")), c.armoured) << c.bytes;
    }
    EXPECT_THROW(FirstLineLooksArmoured(""), InOutError);
}

TEST(FormatSerialNumber, GroupsFromTheEnd)
{
    const BYTE five[] = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    const BYTE four[] = {0x01, 0x02, 0x03, 0x04};
    const BYTE one[] = {0x7F};
    const BYTE ten[] = {10};
    EXPECT_EQ(FormatSerialNumber(five, 5), "5E 4D3C 2B1A");
    EXPECT_EQ(FormatSerialNumber(four, 4), "0403 0201");
    EXPECT_EQ(FormatSerialNumber(one, 1), "7F");
    EXPECT_EQ(FormatSerialNumber(ten, 1), "0A");
    EXPECT_EQ(FormatSerialNumber(nullptr, 3), "");
    EXPECT_EQ(FormatSerialNumber(five, 0), "");
}
