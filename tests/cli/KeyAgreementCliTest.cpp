// ordalis-cli decrypt on a TC26 key-agreement envelope in PEM armour whose
// sender is named by issuer and serial number.

#include "common/ErrorCodes.h"
#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/Tc26Examples.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

namespace ordalis::test {
namespace {

class KeyAgreementCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::mkdir(store.path("").c_str(), 0700);
        ASSERT_TRUE(EnsureGostEngine()); // as ordalis-store does before it imports
        ImportTc26SenderKeyPair();
        WriteFile(envelope, Tc26SwappedAgreementPem());
    }

    CliRun cli(std::vector<std::string> args) { return RunCliCaptured(args); }

    TestStore store;
    const std::string envelope = store.path("letter.txt.enc");
    const std::string decrypted = store.path("letter.txt");
};

TEST_F(KeyAgreementCli, DecryptsWithTheSendersCertificateFromAddressBook)
{
    ImportFile(Tc26File("recipient256_cert.pem"), {}, "AddressBook");
    const CliRun run = cli({"decrypt", envelope});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(decrypted), Tc26Plaintext());
    EXPECT_EQ(run.out, "Расшифрован\n");
}

TEST_F(KeyAgreementCli, SaysWhichCertificateIsMissingAndHowToImportIt)
{
    const CliRun english = cli({"decrypt", envelope});
    EXPECT_EQ(english.status, 2);
    EXPECT_FALSE(std::filesystem::exists(decrypted));
    EXPECT_NE(english.err.find(ErrorReportText(codes::NoDecryptCert) + "\n"), std::string::npos) << english.err;
    EXPECT_NE(english.err.find("The sender's certificate (issuer O=TK26, CN=CA TK26: GOST 34.10-12 256-bit, serial "
                               "number 018CBA83) is missing: import it into AddressBook with ordalis-store import "
                               "FILE --store AddressBook\n"),
              std::string::npos)
        << english.err;

    const ScopedLanguage russian("ru_RU.UTF-8");
    const CliRun inRussian = cli({"decrypt", envelope});
    EXPECT_EQ(inRussian.status, 2);
    EXPECT_NE(inRussian.err.find("Нет сертификата отправителя (издатель O=TK26, CN=CA TK26: GOST 34.10-12 256-bit, "
                                 "серийный номер 018CBA83): импортируйте его в AddressBook командой ordalis-store "
                                 "import ФАЙЛ --store AddressBook\n"),
              std::string::npos)
        << inRussian.err;
}

TEST_F(KeyAgreementCli, ItsJsonLineGivesTheMissingSenderAsTheErrorWithTheCode)
{
    const CliRun run = cli({"decrypt", envelope, "--json"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("\"error\":\"The sender's certificate (issuer O=TK26, CN=CA TK26: GOST 34.10-12 256-bit, "
                           "serial number 018CBA83) is missing"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"code\":" + std::to_string(codes::NoDecryptCert)), std::string::npos) << run.out;
}

TEST_F(KeyAgreementCli, ASenderNamedByKeyIdentifierIsLookedUpAndNamedAlike)
{
    WriteFile(envelope, Tc26SwappedAgreementByKeyId());
    const CliRun missing = cli({"decrypt", envelope});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("The sender's certificate (subject key identifier "
                               "BB9EF8F51BF4E7BEA7388153E32F35E8E382BCC5) is missing"),
              std::string::npos)
        << missing.err;

    ImportFile(Tc26File("recipient256_cert.pem"), {}, "AddressBook");
    const CliRun run = cli({"decrypt", envelope});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(decrypted), Tc26Plaintext());
}

} // namespace
} // namespace ordalis::test
