#include "cryptomsg/operations/Operations.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeDesktop.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"
#include "tools/cli/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.addStandardSet();
        ::mkdir(store.path("").c_str(), 0700);
        for (const char* name : {"a.txt", "b.txt", "c.txt"})
            WriteFile(store.path(name), std::string("content of ") + name);
    }

    CliRun cli(std::vector<std::string> args, const std::string& input = "", bool interactive = false)
    {
        return RunCliCaptured(args, input, interactive, [this](const std::string&) { return secret; });
    }

    std::string file(const std::string& name) { return store.path(name); }
    std::string serial(const std::string& label) { return store.get(label).serialHex; }

    TestStore store;
    std::optional<std::string> secret;
};

std::vector<QJsonObject> JsonLines(const std::string& text)
{
    std::vector<QJsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error{};
        const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        objects.push_back(document.object());
    }
    return objects;
}

std::string Text(const QJsonValue& value) { return value.toString().toStdString(); }

} // namespace

TEST_F(CliTest, SignBatchGoesOnPastABadFile)
{
    const CliRun run =
        cli({"sign", file("a.txt"), file("missing.txt"), file("c.txt"), "--cert", serial("gost2012_256")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(FileExists(file("a.txt.sig")));
    EXPECT_TRUE(FileExists(file("c.txt.sig")));
    EXPECT_EQ(run.out, "Подписанное сообщение создано\nПодписанное сообщение создано\n");
    EXPECT_NE(run.err.find("Cannot open file \"" + file("missing.txt") + "\". "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("2 signed, 1 failed\n"), std::string::npos) << run.err;
}

TEST_F(CliTest, SignWritesWhatTheWindowWrites)
{
    const CliRun run = cli({"sign", file("a.txt"), "--cert", "gost2012_512", "--base64", "--attached", "--pack"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Подписанное сообщение создано\nСоздан архив:" + file("a.txt.p7s.7z") + "\n");
    EXPECT_TRUE(FileExists(file("a.txt.p7s")));
    EXPECT_TRUE(FileExists(file("a.txt.p7s.7z")));
}

TEST_F(CliTest, RelativeNamesAreShownInFullLikeTheWindowsSlots)
{
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(store.path(""));
    const CliRun run = cli({"sign", "b.txt", "--cert", "gost2012_256", "--pack"});
    std::filesystem::current_path(previous);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Подписанное сообщение создано\nСоздан архив:" + file("b.txt.sig.7z") + "\n");
}

TEST_F(CliTest, VerifyBatchReportsEachPair)
{
    ASSERT_EQ(cli({"sign", file("a.txt"), file("b.txt"), file("c.txt"), "--cert", "gost2001"}).status, 0);
    WriteFile(file("b.txt"), "changed");
    WriteFile(file("c.txt.sig"), "damaged");
    const CliRun run = cli({"verify", file("a.txt"), file("a.txt.sig"), file("b.txt"), file("c.txt"), file("x.txt")});
    EXPECT_EQ(run.status, 2); // x.txt has no signature
    EXPECT_NE(run.out.find("V - Подпись математически верна..."), std::string::npos);
    EXPECT_NE(run.out.find("X - Подпись математически не верна"), std::string::npos);
    // A damaged c.txt.sig is no signature at all: there is nothing to judge, so it fails.
    EXPECT_NE(run.err.find("1 valid, 1 invalid, 2 failed"), std::string::npos) << run.err;
    {
        const ScopedLanguage russian("ru_RU.UTF-8");
        const CliRun again = cli({"verify", file("a.txt"), file("b.txt"), file("c.txt"), file("x.txt")});
        EXPECT_NE(again.err.find("верны: 1, неверны: 1, не удалось: 2\n"), std::string::npos) << again.err;
        EXPECT_NE(again.err.find("Не найдена подпись к файлу " + file("x.txt")), std::string::npos) << again.err;
    }

    EXPECT_EQ(cli({"verify", file("a.txt")}).status, 0);
    EXPECT_EQ(cli({"verify", file("b.txt"), file("b.txt.sig")}).status, 1);
}

TEST_F(CliTest, JsonGivesEveryOutcome)
{
    ASSERT_EQ(cli({"sign", file("a.txt"), file("b.txt"), "--cert", "gost2012_256"}).status, 0);
    WriteFile(file("b.txt"), "changed");
    const CliRun run = cli({"verify", file("a.txt"), file("b.txt"), file("c.txt"), "--json"});
    const auto results = JsonLines(run.out);
    ASSERT_EQ(results.size(), 3u) << run.out;
    EXPECT_EQ(Text(results[0]["status"]), "ok");
    EXPECT_EQ(Text(results[0]["file"]), file("a.txt"));
    EXPECT_EQ(Text(results[0]["messages"].toArray()[1]), "V - Подпись математически верна...");
    EXPECT_EQ(Text(results[1]["status"]), "invalid");
    EXPECT_EQ(Text(results[2]["status"]), "failed");
    EXPECT_FALSE(Text(results[2]["error"]).empty());

    const CliRun decrypt = cli({"decrypt", file("a.txt.sig"), "--json"});
    const auto refused = JsonLines(decrypt.out);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(Text(refused[0]["status"]), "failed");
    EXPECT_NE(refused[0]["code"].toDouble(), 0.0);
    EXPECT_EQ(decrypt.status, 2);
}

TEST_F(CliTest, EncryptAndDecryptBatches)
{
    const CliRun encrypted = cli({"encrypt", file("a.txt"), file("missing"), file("b.txt"), "--cert-file",
                                  store.get("gost2012_256").derFile, "--json"});
    EXPECT_EQ(encrypted.status, 2);
    const auto results = JsonLines(encrypted.out);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(Text(results[0]["outputs"].toArray()[0]), file("a.txt.enc"));
    EXPECT_EQ(Text(results[1]["status"]), "failed");
    EXPECT_NE(encrypted.err.find("2 encrypted, 1 failed"), std::string::npos);

    WriteFile(file("bad.enc"), "not a message");
    ::unlink(file("a.txt").c_str());
    const CliRun decrypted = cli({"decrypt", file("a.txt.enc"), file("bad.enc"), file("b.txt.enc")});
    EXPECT_EQ(decrypted.status, 2);
    EXPECT_EQ(ReadFile(file("a.txt")), "content of a.txt");
    EXPECT_NE(decrypted.err.find("2 decrypted, 1 failed"), std::string::npos);
}

TEST_F(CliTest, CertificateChoiceErrorsListTheCandidates)
{
    const CliRun ambiguous = cli({"sign", file("a.txt"), "--cert", "gost2012"});
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_NE(ambiguous.err.find("gost2012_256"), std::string::npos) << ambiguous.err;
    EXPECT_NE(ambiguous.err.find("gost2012_512"), std::string::npos);
    EXPECT_FALSE(FileExists(file("a.txt.sig")));

    EXPECT_EQ(cli({"sign", file("a.txt"), "--cert", "nobody"}).status, 2);
    const CliRun noCert = cli({"sign", file("a.txt")});
    EXPECT_EQ(noCert.status, 2);
    EXPECT_NE(noCert.err.find("--cert"), std::string::npos);
}

// A certificate whose key is not in the store names itself as keyless for
// signing, in either language, and still encrypts.
TEST_F(CliTest, SigningRefusesACertificateWithoutItsKey)
{
    TestCertificateOptions withoutKey;
    withoutKey.withKey = false;
    const TestCertificate& keyless = store.add("keyless", KeyAlgorithm::Gost2012_256, withoutKey);

    const CliRun english = cli({"sign", file("a.txt"), "--cert", "KEYLESS"});
    EXPECT_EQ(english.status, 2);
    EXPECT_EQ(english.err.rfind("ordalis-cli: the private key of the certificate CN=keyless, O=Ordalis Test (serial "
                                "number " +
                                    keyless.serialHex + ", valid to ",
                                0),
              0u)
        << english.err;
    EXPECT_NE(english.err.find(") is not in the store; it cannot sign\n"), std::string::npos) << english.err;
    EXPECT_FALSE(FileExists(file("a.txt.sig")));
    {
        const ScopedLanguage russian("ru_RU.UTF-8");
        const CliRun refused = cli({"sign", file("a.txt"), "--cert", keyless.thumbprint});
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.err.find("ordalis-cli: закрытого ключа сертификата CN=keyless, O=Ordalis Test (серийный "
                                   "номер " +
                                   keyless.serialHex),
                  std::string::npos)
            << refused.err;
        EXPECT_NE(refused.err.find(") нет в хранилище; подписать им нельзя\n"), std::string::npos) << refused.err;
    }

    // Offered a list on the terminal, the user never sees it.
    const CliRun prompted = cli({"sign", file("a.txt")}, "\n", true);
    EXPECT_EQ(prompted.status, 2);
    EXPECT_NE(prompted.err.find("CN=gost2001"), std::string::npos) << prompted.err;
    EXPECT_EQ(prompted.err.find("keyless"), std::string::npos) << prompted.err;

    const CliRun encrypted = cli({"encrypt", file("a.txt"), "--cert", "keyless"});
    EXPECT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_TRUE(FileExists(file("a.txt.enc")));
}

TEST_F(CliTest, TerminalUserPicksACertificateAndGivesThePasswordOnce)
{
    secret = std::string(kProtectedKeyPassword);
    int asked = 0;
    std::istringstream in(std::to_string(store.indexOf("protected") + 1) + "\n");
    std::ostringstream out, err;
    cli::Terminal terminal{in,
                           out,
                           err,
                           true,
                           [&](const std::string&) {
                               ++asked;
                               return secret;
                           },
                           nullptr};
    // Only certificates with keys are listed, in store order; the standard set has keys for all.
    const int status = cli::RunCli({"sign", file("a.txt"), file("b.txt")}, terminal);
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(FileExists(file("b.txt.sig")));
}

TEST_F(CliTest, UsageErrorsAndHelp)
{
    EXPECT_EQ(cli({}).status, 2);
    EXPECT_EQ(cli({"frobnicate"}).status, 2);
    EXPECT_EQ(cli({"sign"}).status, 2);
    EXPECT_EQ(cli({"encrypt", file("a.txt")}).status, 2);
    EXPECT_EQ(cli({"verify", file("a.txt"), "--attached"}).status, 2);
    const CliRun help = cli({"sign", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Examples"), std::string::npos);
    EXPECT_EQ(cli({"--help"}).status, 0);
}

namespace {

// What a strict JSON reader makes of the string literal JsonString writes.
QString ReadBack(const std::string& literal)
{
    QJsonParseError error{};
    const auto document = QJsonDocument::fromJson(QByteArray::fromStdString("[" + literal + "]"), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << literal;
    return document.array().at(0).toString();
}

std::string Unbase64(const QJsonValue& value)
{
    return QByteArray::fromBase64(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors).toStdString();
}

} // namespace

TEST(JsonText, AnyBytesMakeAStrictJsonString)
{
    const QString replacement(QChar(0xFFFD));
    const struct {
        std::string bytes;
        QString read;
    } cases[] = {
        {"plain", "plain"},
        {"back\\slash \"quoted\"", "back\\slash \"quoted\""},
        {"bell\x07 tab\t nl\n cr\r del\x7f", "bell\x07 tab\t nl\n cr\r del\x7f"},
        {"\xC2\x85 next line (C1)", QString(QChar(0x85)) + " next line (C1)"},
        {"Иванов € \xF0\x9F\x98\x80", QString::fromUtf8("Иванов € \xF0\x9F\x98\x80")},
        {"lone \xFF byte", "lone " + replacement + " byte"},
        {"overlong \xC0\xAF", "overlong " + replacement + replacement},
        {"surrogate \xED\xA0\x80", "surrogate " + replacement.repeated(3)},
        {"past U+10FFFF \xF4\x90\x80\x80", "past U+10FFFF " + replacement.repeated(4)},
        {"cut at the end \xE2\x82", "cut at the end " + replacement.repeated(2)},
        {"cut in the middle \xE2\x82x", "cut in the middle " + replacement.repeated(2) + "x"},
        {std::string("nul\0inside", 10), QString("nul") + QChar(0) + "inside"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadBack(cli::JsonString(c.bytes)), c.read) << c.bytes;
        const std::string literal = cli::JsonString(c.bytes);
        for (const char ch : literal)
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) << "raw control byte in " << literal;
    }
    EXPECT_TRUE(cli::IsUtf8("Иванов \xF0\x9F\x98\x80"));
    EXPECT_FALSE(cli::IsUtf8("lone \xFF byte"));
    EXPECT_FALSE(cli::IsUtf8("\xED\xA0\x80"));
}

TEST_F(CliTest, JsonLinesParseAndKeepOddFileNames)
{
    const std::string quoted = file("back\\slash \"quoted\"\x01.txt");
    const std::string notUtf8 = file("latin1 caf\xE9.txt");
    WriteFile(quoted, "one");
    WriteFile(notUtf8, "two");
    const CliRun run = cli({"sign", quoted, notUtf8, "--cert", "gost2012_256", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    const auto results = JsonLines(run.out);
    ASSERT_EQ(results.size(), 2u) << run.out;

    EXPECT_EQ(Text(results[0]["file"]), quoted);
    EXPECT_EQ(Text(results[0]["outputs"].toArray()[0]), quoted + ".sig");
    EXPECT_FALSE(results[0].contains("file_base64")) << "a UTF-8 name needs no second form";
    EXPECT_FALSE(results[0].contains("outputs_base64"));

    EXPECT_NE(Text(results[1]["file"]).find("caf\xEF\xBF\xBD.txt"), std::string::npos) << Text(results[1]["file"]);
    EXPECT_EQ(Unbase64(results[1]["file_base64"]), notUtf8);
    const QJsonArray outputs = results[1]["outputs_base64"].toArray();
    ASSERT_EQ(outputs.size(), 1);
    EXPECT_EQ(Unbase64(outputs[0]), notUtf8 + ".sig");
    EXPECT_TRUE(FileExists(Unbase64(outputs[0])));
}

// Files read whole; encrypt and a DER or BER envelope to decrypt are read as
// they go and may be of any size (StreamDecryptTest).
// What is still read whole: a co-signed file, an envelope that is no DER or
// BER, a signature given beside its file. (Files signed, verified, encrypted
// and decrypted as they are read may be of any size.)
TEST_F(CliTest, FilesPastTheSizeLimitAreCalledTooLargeWhereReadWhole)
{
    const test::ScopedLanguage russian("ru_RU.UTF-8");
    ASSERT_EQ(cli({"sign", file("a.txt"), "--cert", "gost2012_256"}).status, 0);
    // Sparse: the size is real, the disk space is not used.
    const auto sized = [&](const std::string& name, off_t size) {
        WriteFile(file(name), "");
        EXPECT_EQ(::truncate(file(name).c_str(), size), 0) << name;
        return file(name);
    };
    for (const off_t size : {off_t{3} << 30, off_t{5} << 30}) {
        const std::string big = sized("big.bin", size), envelope = sized("big.bin.enc", size),
                          signature = sized("big.sig", size);
        const std::vector<std::vector<std::string>> commands = {
            {"sign", big, "--cert", "gost2012_256", "--cosign", file("a.txt.sig")},
            {"decrypt", envelope},
            {"verify", file("a.txt"), signature},
        };
        for (const auto& command : commands) {
            const CliRun run = cli(command);
            EXPECT_EQ(run.status, 2) << command[0] << " " << size;
            EXPECT_NE(run.err.find("слишком велик: " + std::to_string(size) + " байт"), std::string::npos)
                << command[0] << " " << size << ": " << run.err;
        }
        EXPECT_FALSE(FileExists(big + ".sig"));
        EXPECT_EQ(std::filesystem::file_size(big), static_cast<std::uintmax_t>(size)) << "nothing was written over it";
    }
    // An ordinary file still goes through.
    EXPECT_EQ(cli({"verify", file("a.txt"), file("a.txt.sig")}).status, 0);
}

TEST_F(CliTest, DecryptReadsAPemEnvelopeWhereTheWindowKeepsToDer)
{
    std::string printed;
    ASSERT_EQ(RunOpenSsl(store.path(""),
                         "cms -encrypt -binary -gost89 -outform PEM -in a.txt -out a.txt.enc '" +
                             store.get("gost2012_256").certificateFile + "'",
                         &printed),
              0)
        << printed;
    ASSERT_EQ(ReadFile(file("a.txt.enc")).rfind("-----BEGIN CMS-----", 0), 0u);

    struct WindowTab : DecryptTab {
        std::string file;
        std::string fileToDecrypt() const override { return file; }
        void resetSelection() override {}
    } window;
    window.file = file("a.txt.enc");
    ::unlink(file("a.txt").c_str());
    FakeDesktop desktop;
    EXPECT_FALSE(DecryptOperation(window, desktop).succeeded);
    EXPECT_FALSE(FileExists(file("a.txt")));

    const CliRun run = cli({"decrypt", file("a.txt.enc")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(file("a.txt")), "content of a.txt");
}
