#include "cryptomsg/store/KeyContainerCrypto.h"
#include "cryptomsg/store/KeyContainerFormat.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"
#include "tools/store/StoreCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>

namespace ordalis::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out, err;
    int asked = 0; // secrets asked for on the terminal
};

const char* const kContainerFiles[] = {"header.key",  "name.key",   "masks.key",
                                       "primary.key", "masks2.key", "primary2.key"};

// Key containers as ordalis-store writes and reads them, end to end through the
// command line: a container holds a key that signs as the store's own did.
class KeyContainers : public ::testing::Test {
protected:
    // ordalis-store, with typed answering its hidden questions and line its plain one.
    Outcome store(const std::vector<std::string>& arguments, std::vector<std::string> typed = {},
                  std::optional<std::string> line = std::nullopt)
    {
        std::istringstream in;
        std::ostringstream out, err;
        Outcome result;
        tools::Terminal terminal{in, out, err, false, nullptr, nullptr};
        terminal.readSecret = [&typed, &result](const std::string&) -> std::optional<std::string> {
            ++result.asked;
            if (typed.empty())
                return std::nullopt;
            std::string answer = typed.front();
            typed.erase(typed.begin());
            return answer;
        };
        if (line)
            terminal.askLine = [&line](const std::string&) { return line; };
        result.status = tools::RunStoreCommand(arguments, terminal);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::string pinFile(const std::string& pin)
    {
        const std::string file = source.path("pin-" + std::to_string(++m_files));
        WriteFile(file, pin + "\n");
        return file;
    }

    // The store certificate's key written out as a container folder.
    std::string exportContainer(const TestCertificate& certificate, const std::string& pin, const std::string& folder)
    {
        const Outcome exported =
            store({"export", certificate.thumbprint, "--container", folder, "--password-file", pinFile(pin)});
        EXPECT_EQ(exported.status, 0) << exported.err;
        return folder;
    }

    // Signs a file with the certificate ID of the current store and checks the
    // signature with openssl cms against certificateFile.
    void expectSignatureVerifies(const std::string& id, const std::string& pin, const std::string& certificateFile)
    {
        const std::string file = source.path("signed-" + std::to_string(++m_files) + ".txt");
        WriteFile(file, "Quarterly report\n");
        std::istringstream in;
        std::ostringstream out, err;
        tools::Terminal terminal{in, out, err, false, nullptr, nullptr};
        ASSERT_EQ(cli::RunCli({"sign", file, "--cert", id, "--password-file", pinFile(pin)}, terminal), 0) << err.str();
        std::string output;
        EXPECT_EQ(RunOpenSsl(source.path(""),
                             "cms -verify -inform DER -binary -noverify -nointern -in '" + file + ".sig' -content '" +
                                 file + "' -certfile '" + certificateFile + "' -out /dev/null",
                             &output),
                  0)
            << output;
    }

    static std::size_t filesIn(const std::string& folder)
    {
        return fs::exists(folder) ? ListFolder(folder).size() : 0u;
    }

    static void changeFile(const std::string& file, const std::function<void(std::string&)>& change)
    {
        std::string bytes = ReadFile(file);
        change(bytes);
        WriteFile(file, bytes);
    }

    TestStore source;
    int m_files = 0;
};

TEST_F(KeyContainers, RoundTripOfEveryAlgorithmSignsWithTheOriginalCertificate)
{
    for (const KeyAlgorithm algorithm :
         {KeyAlgorithm::Gost2001, KeyAlgorithm::Gost2012_256, KeyAlgorithm::Gost2012_512}) {
        const TestCertificate& original =
            source.add("holder-" + std::to_string(static_cast<int>(algorithm)), algorithm);
        const std::string folder = exportContainer(original, "4321", source.path(original.label + ".000"));
        for (const char* name : kContainerFiles)
            EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;

        const TestStore fresh;
        const Outcome imported = store({"import", folder}, {"4321"});
        ASSERT_EQ(imported.status, 0) << original.label << ": " << imported.err;
        EXPECT_EQ(imported.asked, 1) << "the empty PIN is tried without asking";
        EXPECT_NE(imported.out.find("exchange key"), std::string::npos) << imported.out;
        EXPECT_NE(imported.out.find(original.serialHex), std::string::npos) << imported.out;
        EXPECT_NE(imported.out.find("Added the private key of: CN=" + original.label), std::string::npos);
        expectSignatureVerifies(original.thumbprint, "4321", original.derFile);

        // The reserve copy alone holds the same key.
        const TestStore another;
        fs::remove(folder + "/primary.key");
        fs::remove(folder + "/masks.key");
        const Outcome fromReserve = store({"import", folder, "--password-file", pinFile("4321")});
        ASSERT_EQ(fromReserve.status, 0) << fromReserve.err;
        expectSignatureVerifies(original.thumbprint, "4321", original.derFile);
    }
}

TEST_F(KeyContainers, WithoutPinImportsWithoutAskingAndStoresTheKeyUnprotected)
{
    const TestCertificate& original = source.add("open", KeyAlgorithm::Gost2012_256);
    const std::string folder = exportContainer(original, "", source.path("open.000"));
    const TestStore fresh;
    const Outcome imported = store({"import", folder});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.asked, 0);
    EXPECT_EQ(ReadFile(fresh.folder() + "/" + original.thumbprint + ".key").find("ENCRYPTED"), std::string::npos);
}

// The real containers beside the project: made by the vendor CSP itself.
std::optional<std::string> SharedContainers()
{
    const std::string folder = ORDALIS_SHARED_KEY_CONTAINERS;
    if (fs::is_directory(folder))
        return folder;
    return std::nullopt;
}

TEST_F(KeyContainers, RealContainerImportsWithItsPinAndItsKeySigns)
{
    const std::optional<std::string> shared = SharedContainers();
    if (!shared)
        GTEST_SKIP() << "the vendor's containers are not beside the project: " << ORDALIS_SHARED_KEY_CONTAINERS;
    const Outcome imported = store({"import", *shared + "/signing-2012-256-pin-123456"}, {"123456"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.asked, 1);
    for (const char* expected :
         {"Key container: 00000000-14bf-4902-b265-c9c6d9bb63a7", "exchange key, ГОСТ Р 34.10-2012 256 бит",
          "id-GostR3410-2001-CryptoPro-XchA-ParamSet (1.2.643.2.2.36.0)", "C=RU, CN=asfdgh",
          "7C00016646E9F5D54AB2F0CAEE000100016646", "(expired)"})
        EXPECT_NE(imported.out.find(expected), std::string::npos) << expected << "\n" << imported.out;
    expectSignatureVerifies("asfdgh", "123456", *shared + "/signing-2012-256-pin-123456.crt");

    // The second one has no PIN at all.
    const Outcome open = store({"import", *shared + "/srv-2012-256-pin-unknown"});
    ASSERT_EQ(open.status, 0) << open.err;
    EXPECT_EQ(open.asked, 0);
    EXPECT_EQ(ListStore().certificates.size(), 2u);
}

TEST_F(KeyContainers, WrongPinThreeTimesStoresNothing)
{
    const std::string folder =
        exportContainer(source.add("pin", KeyAlgorithm::Gost2012_256), "1234", source.path("pin.000"));
    const TestStore fresh;
    const Outcome typed = store({"import", folder}, {"1", "12", "123"});
    EXPECT_EQ(typed.status, 2);
    EXPECT_EQ(typed.asked, 3);
    EXPECT_EQ(typed.err, "ordalis-store: Wrong PIN of the key container\n");
    EXPECT_EQ(filesIn(fresh.folder()), 0u);

    const ScopedLanguage russian("ru_RU.UTF-8");
    const Outcome inFile = store({"import", folder, "--password-file", pinFile("4321")});
    EXPECT_EQ(inFile.status, 2);
    EXPECT_NE(inFile.err.find("Неверный PIN-код контейнера"), std::string::npos) << inFile.err;
    const Outcome cancelled = store({"import", folder}, {"1"});
    EXPECT_EQ(cancelled.status, 2);
    EXPECT_NE(cancelled.err.find("Не задан PIN-код контейнера"), std::string::npos) << cancelled.err;
    EXPECT_EQ(filesIn(fresh.folder()), 0u);
}

TEST_F(KeyContainers, CertificateIsTheContainersTheFilesOrTheStores)
{
    const TestCertificate& holder = source.add("holder", KeyAlgorithm::Gost2012_256);
    const TestCertificate& other = source.add("other", KeyAlgorithm::Gost2012_256);
    const std::string folder = exportContainer(holder, "", source.path("holder.000"));
    const TestStore fresh;

    const Outcome mismatch = store({"import", folder, "--cert", other.derFile});
    EXPECT_EQ(mismatch.status, 2);
    EXPECT_EQ(mismatch.err, "ordalis-store: The private key of the key container does not match the certificate\n");
    EXPECT_EQ(filesIn(fresh.folder()), 0u);

    // A container without a certificate: the one given, else the store's with its public key.
    const std::string headerFile = ReadFile(folder + "/header.key");
    KeyContainerHeader header =
        *DecodeContainerHeader({reinterpret_cast<const unsigned char*>(headerFile.data()), headerFile.size()});
    header.certificate.clear();
    header.hmac = ContentCheckValue(KeyContainerScheme::Gost2012, *ContainerContentDer(EncodeContainerHeader(header)));
    const Bytes bare = EncodeContainerHeader(header);
    WriteFile(folder + "/header.key", std::string(bare.begin(), bare.end()));
    EXPECT_EQ(store({"import", folder}).err,
              "ordalis-store: There is no certificate for the key of the container: give it with --cert or import "
              "it into the store first\n");
    EXPECT_EQ(store({"import", folder, "--cert", other.derFile}).status, 2);
    EXPECT_EQ(filesIn(fresh.folder()), 0u);
    ASSERT_EQ(store({"import", holder.derFile}).status, 0);
    const Outcome fromStore = store({"import", folder});
    ASSERT_EQ(fromStore.status, 0) << fromStore.err;
    EXPECT_NE(fromStore.out.find("Added the private key of: CN=holder"), std::string::npos) << fromStore.out;
}

TEST_F(KeyContainers, DamagedFilesAreNamedAndNothingIsStored)
{
    const TestCertificate& holder = source.add("damaged", KeyAlgorithm::Gost2012_256);
    const std::string good = exportContainer(holder, "77", source.path("good.000"));
    const TestStore fresh;
    const std::string pin = pinFile("77");

    struct Case {
        std::string file;
        std::string what;
        std::function<void(std::string&)> change;
        std::string expected;
    };
    std::vector<Case> cases;
    for (const char* name : kContainerFiles) {
        const std::string file = name;
        cases.push_back({file, "truncated", [](std::string& b) { b.resize(b.size() / 2); },
                         "The file " + file + " of the key container is damaged"});
        cases.push_back({file, "first byte changed", [](std::string& b) { b[0] ^= 0x01; },
                         "The file " + file + " of the key container is damaged"});
    }
    for (const char* name : {"masks.key", "masks2.key"}) {
        const std::string file = name;
        for (const std::size_t at : {5u, 40u, 53u}) // in the mask, the salt and the check value
            cases.push_back({file, "byte " + std::to_string(at) + " changed", [at](std::string& b) { b[at] ^= 0x40; },
                             "The check value of the file " + file + " of the key container does not match"});
    }
    for (const char* name : {"primary.key", "primary2.key"}) {
        const std::string file = name;
        cases.push_back({file, "last byte changed", [](std::string& b) { b.back() ^= 0x40; },
                         "The file " + file + " of the key container is damaged"});
    }
    // The header's check value covers every byte of its content.
    for (const std::size_t at : {100u, 200u, 400u})
        cases.push_back({"header.key", "byte " + std::to_string(at) + " changed",
                         [at](std::string& b) { b[at] ^= 0x01; },
                         "The check value of the file header.key of the key container does not match"});
    cases.push_back({"header.key", "fingerprint changed",
                     [](std::string& b) {
                         const std::size_t at = b.find("\x8a\x08");
                         b[at + 2] ^= 0x01;
                     },
                     "The check value of the file header.key of the key container does not match"});
    // With the PIN's own check value passing, a key that does not open is damaged.
    cases.push_back(
        {"primary.key", "changed in both copies", nullptr, "The file primary.key of the key container is damaged"});
    cases.push_back({"masks.key", "removed", nullptr, "The key container has no file masks.key"});

    for (const Case& c : cases) {
        const std::string folder = source.path("copy.000");
        fs::remove_all(folder);
        fs::copy(good, folder);
        if (c.change) {
            changeFile(folder + "/" + c.file, c.change);
        } else if (c.what == "removed") {
            fs::remove(folder + "/" + c.file);
        } else {
            changeFile(folder + "/primary.key", [](std::string& b) { b.back() ^= 0x40; });
            changeFile(folder + "/primary2.key", [](std::string& b) { b.back() ^= 0x40; });
        }
        const Outcome r = store({"import", folder, "--password-file", pin});
        EXPECT_EQ(r.status, 2) << c.file << " " << c.what;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.file << " " << c.what << ": " << r.err;
        EXPECT_EQ(filesIn(fresh.folder()), 0u) << c.file << " " << c.what;
    }
}

TEST_F(KeyContainers, FolderWithTwoContainersImportsTheOneNamedOrChosen)
{
    const std::string drive = source.path("drive");
    fs::create_directories(drive + "/notes");
    exportContainer(source.add("first", KeyAlgorithm::Gost2012_256), "", drive + "/aaaa0001.000");
    exportContainer(source.add("second", KeyAlgorithm::Gost2012_512), "", drive + "/bbbb0002.000");
    fs::create_directories(drive + "/cccc0003.000");
    WriteFile(drive + "/cccc0003.000/header.key", "not DER");
    WriteFile(drive + "/cccc0003.000/primary.key", "");
    const TestStore fresh;

    const Outcome nobodyToAsk = store({"import", drive});
    EXPECT_EQ(nobodyToAsk.status, 2);
    EXPECT_NE(nobodyToAsk.out.find("1. aaaa0001.000 (aaaa0001.000): CN=first, O=Ordalis Test"), std::string::npos)
        << nobodyToAsk.out;
    EXPECT_NE(nobodyToAsk.out.find("2. bbbb0002.000 (bbbb0002.000): CN=second"), std::string::npos);
    EXPECT_NE(
        nobodyToAsk.out.find("3. cccc0003.000 (cccc0003.000): The file header.key of the key container is damaged"),
        std::string::npos)
        << nobodyToAsk.out;
    EXPECT_NE(nobodyToAsk.err.find("choose one with --container"), std::string::npos) << nobodyToAsk.err;
    EXPECT_EQ(store({"import", drive, "--container", "dddd0004.000"}).err,
              "ordalis-store: There is no key container named \"dddd0004.000\"\n");
    EXPECT_EQ(store({"import", drive, "--container", "cccc0003.000"}).err,
              "ordalis-store: The file header.key of the key container is damaged\n");
    EXPECT_EQ(filesIn(fresh.folder()), 0u);

    const Outcome named = store({"import", drive, "--container", "bbbb0002.000"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_NE(named.out.find("CN=second"), std::string::npos);
    const Outcome chosen = store({"import", drive}, {}, std::string("1"));
    ASSERT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_NE(chosen.out.find("Added the private key of: CN=first"), std::string::npos) << chosen.out;
    EXPECT_EQ(ListStore().certificates.size(), 2u);

    EXPECT_EQ(store({"import", drive + "/notes"}).status, 2);
}

TEST_F(KeyContainers, ExportAsksThePinTwiceAndNeverOverwrites)
{
    const TestCertificate& holder = source.add("export", KeyAlgorithm::Gost2012_256);
    const std::string folder = source.path("export.000");
    const Outcome differ = store({"export", holder.thumbprint, "--container", folder}, {"1111", "2222"});
    EXPECT_EQ(differ.status, 2);
    EXPECT_EQ(differ.err, "ordalis-store: the two PINs differ\n");
    EXPECT_FALSE(fs::exists(folder));

    ASSERT_EQ(store({"export", holder.thumbprint, "--container", folder}, {"1111", "1111"}).status, 0);
    const std::string header = ReadFile(folder + "/header.key");
    const Outcome again = store({"export", holder.thumbprint, "--container", folder}, {"1111", "1111"});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile(folder + "/header.key"), header);
    for (const auto& entry : fs::directory_iterator(source.path("")))
        EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos) << entry.path();

    // Two exports of one key share nothing random. A folder named with a final slash is that folder.
    const std::string second = exportContainer(holder, "1111", source.path("export2.000") + "/");
    const Outcome imported = store({"import", second}, {"1111"});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("Key container: export2.000\n"), std::string::npos) << imported.out;
    EXPECT_NE(ReadFile(folder + "/masks.key"), ReadFile(second + "/masks.key"));
    EXPECT_NE(ReadFile(folder + "/primary.key"), ReadFile(second + "/primary.key"));
}

} // namespace
} // namespace ordalis::test
