// Envelopes for several recipients from the command line: each recipient opens
// them with its own key, both with ordalis-cli and with openssl, and a refused
// recipient list writes nothing.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/cli/CliRun.h"
#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TestStore.h"
#include "tools/cli/CliRunner.h"

#include <openssl/pem.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <sys/stat.h>

using namespace ordalis;
using namespace ordalis::test;

namespace {

CliRun RunCli(const std::vector<std::string>& args, const std::string& input = "", bool interactive = false)
{
    return RunCliCaptured(args, input, interactive);
}

X509Ptr CertificateFromPem(const std::string& path)
{
    BioPtr file(BIO_new_file(path.c_str(), "r"));
    return X509Ptr(file ? PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr) : nullptr);
}

// How many recipient entries the DER envelope has, and whether one is addressed
// to each of the PEM certificates (in the same order).
struct Addressees {
    int count = -1;
    std::vector<bool> found;
};

Addressees AddresseesOf(const std::string& envelope, const std::vector<std::string>& certificates)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(envelope.data());
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(envelope.size())));
    STACK_OF(CMS_RecipientInfo)* entries = cms ? CMS_get0_RecipientInfos(cms.get()) : nullptr;
    Addressees result;
    result.count = entries ? sk_CMS_RecipientInfo_num(entries) : -1;
    for (const std::string& path : certificates) {
        const X509Ptr certificate = CertificateFromPem(path);
        bool found = false;
        for (int i = 0; certificate && i < result.count; ++i) {
            CMS_RecipientInfo* entry = sk_CMS_RecipientInfo_value(entries, i);
            found = found || (CMS_RecipientInfo_type(entry) == CMS_RECIPINFO_TRANS &&
                              CMS_RecipientInfo_ktri_cert_cmp(entry, certificate.get()) == 0);
        }
        result.found.push_back(found);
    }
    return result;
}

struct StatOf {
    explicit StatOf(const std::string& path) { exists = ::stat(path.c_str(), &st) == 0; }
    bool exists = false;
    struct stat st {};
};

class EncryptRecipients : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(store.folder());
        ::mkdir(store.path("").c_str(), 0700);
        ::mkdir(caFolder().c_str(), 0700);
        store.add("me", KeyAlgorithm::Gost2012_256, Subject("CN=Sender,O=Ordalis Test"));
        const OpenSslCa ca(caFolder());
        const std::pair<const char*, const char*> recipients[] = {
            {"r2001", "gost2001"}, {"r256", "gost2012_256"}, {"r512", "gost2012_512"}};
        int serial = 0x51;
        for (const auto& [name, algorithm] : recipients) {
            ca.issue(name, algorithm, std::string("/CN=Recipient ") + name + "/O=Partner", std::to_string(serial++));
            std::string log;
            ASSERT_EQ(RunOpenSsl(caFolder(),
                                 std::string("x509 -in ") + name + ".pem -outform DER -out " + name + ".cer", &log),
                      0)
                << log;
        }
        // r256 is known to the sender by its certificate in the personal store (no key).
        WriteFile(store.folder() + "/r256.pem", ReadFile(pem("r256")));
        WriteFile(file("x.bin"), content);
    }

    static TestCertificateOptions Subject(const std::string& subject)
    {
        TestCertificateOptions options;
        options.subject = subject;
        return options;
    }

    std::string caFolder() const { return store.path("ca"); }
    std::string pem(const std::string& name) const { return caFolder() + "/" + name + ".pem"; }
    std::string key(const std::string& name) const { return caFolder() + "/" + name + ".key"; }
    std::string der(const std::string& name) const { return caFolder() + "/" + name + ".cer"; }
    std::string file(const std::string& name) const { return store.path(name); }
    std::string envelope() const { return ReadFile(file("x.bin.enc")); }

    // What the recipient reads out of the envelope with ordalis-cli and its own
    // store holding only its certificate and key; "" when that fails.
    std::string openedWithOrdalis(const std::string& name) { return openedWithOrdalis(name, envelope()); }

    std::string openedWithOrdalis(const std::string& name, const std::string& sealed)
    {
        const TestStore theirs;
        std::filesystem::create_directories(theirs.folder());
        ::mkdir(theirs.path("").c_str(), 0700);
        WriteFile(theirs.folder() + "/" + name + ".pem", ReadFile(pem(name)));
        WriteFile(theirs.folder() + "/" + name + ".key", ReadFile(key(name)));
        WriteFile(theirs.path("x.bin.enc"), sealed);
        const CliRun run = RunCli({"decrypt", theirs.path("x.bin.enc")});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        return FileExists(theirs.path("x.bin")) ? ReadFile(theirs.path("x.bin")) : "";
    }

    std::string openedWithOpenSsl(const std::string& certificate, const std::string& privateKey)
    {
        WriteFile(file("sent.enc"), envelope());
        ::unlink(file("opened.bin").c_str());
        std::string log;
        const int status = RunOpenSsl(file(""),
                                      "cms -decrypt -binary -inform DER -in sent.enc -out opened.bin -recip '" +
                                          certificate + "' -inkey '" + privateKey + "'",
                                      &log);
        EXPECT_EQ(status, 0) << certificate << ": " << log;
        return status == 0 ? ReadFile(file("opened.bin")) : "";
    }

    TestStore store;
    // Longer than a 4 KiB key section, so a cipher that changes keys midway would show.
    const std::string content = [] {
        std::string bytes(9000, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
        return bytes;
    }();
};

TEST_F(EncryptRecipients, EachOfThreeGostRecipientsOpensTheOneEnvelope)
{
    const CliRun run = RunCli({"encrypt", file("x.bin"), "--cert-file", der("r2001"), "--cert", "recipient R256",
                               "--cert-file", der("r512")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Файл зашифрован\n");
    const Addressees to = AddresseesOf(envelope(), {pem("r2001"), pem("r256"), pem("r512"), pem("me")});
    EXPECT_EQ(to.count, 3);
    EXPECT_EQ(to.found, (std::vector<bool>{true, true, true, false}));

    for (const char* name : {"r2001", "r256", "r512"}) {
        EXPECT_TRUE(openedWithOrdalis(name) == content) << name;
        EXPECT_TRUE(openedWithOpenSsl(pem(name), key(name)) == content) << name;
    }
    // Without --self the sender is no recipient: their own key opens nothing.
    EXPECT_EQ(RunCli({"decrypt", file("x.bin.enc")}).status, 2);
}

TEST_F(EncryptRecipients, SelfLetsTheSenderOpenWhatTheySentInABatch)
{
    WriteFile(file("y.bin"), "second file");
    const CliRun run = RunCli({"encrypt", file("x.bin"), file("y.bin"), "--self", "--cert-file", der("r512")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("2 encrypted, 0 failed"), std::string::npos) << run.err;
    const Addressees to = AddresseesOf(envelope(), {store.get("me").certificateFile, pem("r512")});
    EXPECT_EQ(to.count, 2);
    EXPECT_EQ(to.found, (std::vector<bool>{true, true}));
    EXPECT_TRUE(AddresseesOf(ReadFile(file("y.bin.enc")), {store.get("me").certificateFile}).found[0]);

    const std::string me = store.get("me").certificateFile;
    EXPECT_TRUE(openedWithOpenSsl(me, std::filesystem::path(me).replace_extension(".key").string()) == content);
    ::unlink(file("x.bin").c_str());
    const CliRun opened = RunCli({"decrypt", file("x.bin.enc")});
    ASSERT_EQ(opened.status, 0) << opened.err;
    EXPECT_TRUE(ReadFile(file("x.bin")) == content);
    EXPECT_TRUE(openedWithOrdalis("r512") == content);
}

TEST_F(EncryptRecipients, SelfAmongSeveralOwnCertificatesIsAskedForOrRefused)
{
    store.add("other me", KeyAlgorithm::Gost2012_512, Subject("CN=Sender at home,O=Ordalis Test"));
    const CliRun refused = RunCli({"encrypt", file("x.bin"), "--self"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err.rfind("ordalis-cli: --self: the store has several certificates with a key; name yours "
                                "with --cert ID:\n",
                                0),
              0u)
        << refused.err;
    EXPECT_NE(refused.err.find("\n  CN=Sender at home, O=Ordalis Test (serial number "), std::string::npos);
    EXPECT_FALSE(FileExists(file("x.bin.enc")));

    // On a terminal the user is shown the certificates with keys and answers with a number.
    const CliRun unanswered = RunCli({"encrypt", file("x.bin"), "--self"}, "", true);
    EXPECT_EQ(unanswered.status, 2);
    EXPECT_FALSE(FileExists(file("x.bin.enc")));
    const std::size_t line = unanswered.err.find(") CN=Sender at home,");
    ASSERT_NE(line, std::string::npos) << unanswered.err;
    EXPECT_NE(unanswered.err.find(") CN=Sender,"), std::string::npos) << unanswered.err;
    EXPECT_EQ(unanswered.err.find("Recipient"), std::string::npos) << "a certificate without a key is not offered";
    const std::string number = unanswered.err.substr(line - 1, 1);
    const CliRun asked = RunCli({"encrypt", file("x.bin"), "--self"}, number + "\n", true);
    ASSERT_EQ(asked.status, 0) << asked.err;
    const Addressees to =
        AddresseesOf(envelope(), {store.get("other me").certificateFile, store.get("me").certificateFile});
    EXPECT_EQ(to.count, 1);
    EXPECT_EQ(to.found, (std::vector<bool>{true, false}));
}

TEST_F(EncryptRecipients, ACertificateNamedTwiceIsOneRecipient)
{
    const struct {
        std::vector<std::string> recipients;
        int entries;
    } cases[] = {
        {{"--cert-file", der("r256"), "--cert", "Recipient R256", "--cert-file", der("r256")}, 1},
        {{"--self", "--cert", "CN=Sender", "--self", "--cert-file", der("r2001")}, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"encrypt", file("x.bin")};
        args.insert(args.end(), c.recipients.begin(), c.recipients.end());
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(AddresseesOf(envelope(), {}).count, c.entries) << c.recipients[1];
    }
    EXPECT_TRUE(openedWithOrdalis("r2001") == content);
}

TEST_F(EncryptRecipients, ARecipientWithoutAGostKeyIsRefusedByNameAndNothingIsWritten)
{
    TestCertificateOptions rsa = Subject("CN=RSA Partner,O=Elsewhere");
    rsa.withKey = false;
    const std::string rsaFile = store.add("rsa", KeyAlgorithm::Rsa2048, rsa).derFile;
    for (const auto& recipients : std::vector<std::vector<std::string>>{
             {"--cert-file", der("r256"), "--cert-file", rsaFile}, {"--cert", "RSA Partner", "--self"}}) {
        std::vector<std::string> args = {"encrypt", file("x.bin")};
        args.insert(args.end(), recipients.begin(), recipients.end());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err.rfind("ordalis-cli: the certificate CN=RSA Partner, O=Elsewhere (serial number ", 0), 0u)
            << run.err;
        EXPECT_NE(run.err.find("has no GOST key"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("\nНеизвестный криптографический алгоритм.\n0 encrypted, 1 failed\n"), std::string::npos)
            << run.err;
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(FileExists(file("x.bin.enc")));
    }
    const CliRun notDer = RunCli({"encrypt", file("x.bin"), "--cert-file", pem("r512")});
    EXPECT_EQ(notDer.status, 2);
    EXPECT_EQ(notDer.err, "ordalis-cli: " + pem("r512") + " is not a certificate in DER form\n");
    EXPECT_FALSE(FileExists(file("x.bin.enc")));
}

TEST_F(EncryptRecipients, AFailureLeavesTheEarlierEnvelopeAsItWas)
{
    ASSERT_EQ(RunCli({"encrypt", file("x.bin"), "--cert-file", der("r256")}).status, 0);
    const std::string earlier = envelope();
    const StatOf before(file("x.bin.enc"));
    WriteFile(file("x.bin"), "changed content");

    const CliRun unknown =
        RunCli({"encrypt", file("x.bin"), "--cert-file", der("r2001"), "--cert", "nobody", "--cert-file", der("r512")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "ordalis-cli: neither MY nor AddressBook has a certificate \"nobody\"\n");
    EXPECT_EQ(envelope(), earlier);
    EXPECT_EQ(StatOf(file("x.bin.enc")).st.st_ino, before.st.st_ino);

    // A folder its owner may not write into: the new envelope cannot even be begun.
    const OtherUser user = OtherUser::unprivileged();
    ORDALIS_SKIP_WITHOUT(user);
    TempDir shared;
    for (const char* name : {"r2001.cer", "r512.cer"})
        WriteFile(shared.file(name), ReadFile(caFolder() + "/" + name));
    WriteFile(shared.file("x.bin"), "new content");
    WriteFile(shared.file("x.bin.enc"), earlier);
    ASSERT_TRUE(user.own(shared.path()));
    ::chmod(shared.path().c_str(), 0500);
    const StatOf old(shared.file("x.bin.enc"));
    const ChildResult child = user.run([&] {
        const CliRun run = RunCli({"encrypt", shared.file("x.bin"), "--cert-file", shared.file("r2001.cer"),
                                   "--cert-file", shared.file("r512.cer")});
        return std::to_string(run.status) + "\n" + run.err;
    });
    ::chmod(shared.path().c_str(), 0700);
    EXPECT_EQ(child.status, 0) << child.text;
    EXPECT_EQ(child.text.rfind("2\nCannot create file \"" + shared.file("x.bin.enc") + "\". ", 0), 0u) << child.text;
    EXPECT_EQ(ReadFile(shared.file("x.bin.enc")), earlier);
    EXPECT_EQ(StatOf(shared.file("x.bin.enc")).st.st_ino, old.st.st_ino);
    EXPECT_EQ(ListFolder(shared.path()).size(), 4u) << "no temporary file left behind";
}

TEST_F(EncryptRecipients, ACertificateInTheAddressBookIsARecipientButNoSigner)
{
    ImportFile(pem("r512"), {}, "AddressBook");
    const CliRun run = RunCli({"encrypt", file("x.bin"), "--cert", "Recipient r512"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(AddresseesOf(envelope(), {pem("r512")}).found, std::vector<bool>{true});
    EXPECT_TRUE(openedWithOrdalis("r512") == content);

    // Signing needs a key, and keys are kept only in MY.
    const CliRun sign = RunCli({"sign", file("x.bin"), "--cert", "Recipient r512"});
    EXPECT_EQ(sign.status, 2);
    EXPECT_EQ(sign.err.rfind("ordalis-cli: the store has no certificate \"Recipient r512\"", 0), 0u) << sign.err;
}

TEST_F(EncryptRecipients, AnAmbiguousNameSaysWhereEachMatchIs)
{
    ImportFile(pem("r512"), {}, "AddressBook");
    // The same certificate in both stores is one match, not two.
    ImportFile(pem("r256"), {}, "AddressBook");
    const CliRun same = RunCli({"encrypt", file("x.bin"), "--cert", "Recipient r256"});
    ASSERT_EQ(same.status, 0) << same.err;
    ::unlink(file("x.bin.enc").c_str());

    const CliRun several = RunCli({"encrypt", file("x.bin"), "--cert", "Recipient"});
    EXPECT_EQ(several.status, 2);
    EXPECT_EQ(several.err.rfind("ordalis-cli: \"Recipient\" matches several certificates:\n", 0), 0u) << several.err;
    const auto lineOf = [&](const std::string& subject) {
        const std::size_t start = several.err.find("\n  " + subject + " (serial number ");
        return start == std::string::npos
                   ? std::string()
                   : several.err.substr(start + 1, several.err.find('\n', start + 1) - start - 1);
    };
    const std::string inMy = lineOf("CN=Recipient r256, O=Partner");
    EXPECT_TRUE(inMy.ends_with(") in MY")) << several.err;
    EXPECT_TRUE(lineOf("CN=Recipient r512, O=Partner").ends_with(") in AddressBook")) << several.err;
    EXPECT_EQ(several.err.find("r256"), several.err.rfind("r256")) << "listed once: " << several.err;
    EXPECT_FALSE(FileExists(file("x.bin.enc")));
}

TEST_F(EncryptRecipients, KuznyechikAndMagmaEnvelopesFromOpenSslAreDecrypted)
{
    // Within one key section (1 KiB for Magma), where the engine's envelopes are sound.
    const std::string shortContent = content.substr(0, 1000);
    WriteFile(file("short.bin"), shortContent);
    for (const char* cipher : {"kuznyechik-ctr-acpkm", "magma-ctr-acpkm"}) {
        std::string log;
        ASSERT_EQ(RunOpenSsl(file(""),
                             std::string("cms -encrypt -binary -") + cipher +
                                 " -outform DER -in short.bin -out short.enc '" + pem("r512") + "'",
                             &log),
                  0)
            << log;
        EXPECT_TRUE(openedWithOrdalis("r512", ReadFile(file("short.enc"))) == shortContent) << cipher;
    }
}

} // namespace
