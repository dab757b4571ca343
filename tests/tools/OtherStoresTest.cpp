// ordalis-store on the stores beside MY: AddressBook, CA and ROOT.

#include "cryptomsg/store/StoreAdmin.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/SameNameAuthority.h"
#include "tests/support/ScopedLanguage.h"
#include "tests/support/TestStore.h"
#include "tools/store/StoreCommand.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace ordalis::test {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class OtherStores : public ::testing::Test {
protected:
    Outcome run(const std::vector<std::string>& arguments)
    {
        std::istringstream in;
        std::ostringstream out, err;
        tools::Terminal terminal{in, out, err, false, nullptr, nullptr};
        if (answer)
            terminal.askLine = [this](const std::string& prompt) -> std::optional<std::string> {
                questions.push_back(prompt);
                return answer;
            };
        Outcome result;
        result.status = tools::RunStoreCommand(arguments, terminal);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::string folderOf(const std::string& name) const { return store.dataHome() + "/ordalis/certstore/" + name; }
    // The files of a store's folder; none when it was never made.
    std::vector<std::string> filesOf(const std::string& name) const
    {
        return FileExists(folderOf(name)) ? ListFolder(folderOf(name)) : std::vector<std::string>();
    }

    // The SHA-1 fingerprint as the openssl tool prints it, without colons.
    std::string opensslThumbprint(const std::string& certificate)
    {
        std::string printed;
        EXPECT_EQ(
            RunOpenSsl(store.path(""), "x509 -noout -fingerprint -sha1 -in '" + certificate + "'", &printed, false), 0);
        std::string hex = printed.substr(printed.find('=') + 1);
        std::erase(hex, ':');
        std::erase(hex, '\n');
        return hex;
    }

    TestStore store;
    OpenSslChain chain{store.path("")};
    std::optional<std::string> answer; // typed on the terminal for a question; no terminal when unset
    std::vector<std::string> questions;
};

TEST_F(OtherStores, RootImportShowsSubjectAndThumbprintAndWaitsForYes)
{
    answer = "нет";
    Outcome refused = run({"import", chain.root(), "--store", "ROOT"});
    EXPECT_EQ(refused.status, 2);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("CN=Test Root"), std::string::npos) << questions[0];
    EXPECT_NE(questions[0].find(opensslThumbprint(chain.root())), std::string::npos) << questions[0];
    EXPECT_TRUE(filesOf("ROOT").empty()) << "nothing is written before the answer";

    answer = "да";
    EXPECT_EQ(run({"import", chain.root(), "--store", "root"}).status, 0);
    EXPECT_EQ(ListStore("ROOT").certificates.size(), 1u);
    EXPECT_EQ(ListStore("MY").certificates.size(), 0u);
}

TEST_F(OtherStores, TheRootQuestionIsAskedInTheUsersLanguage)
{
    const std::string thumbprint = opensslThumbprint(chain.root());
    answer = "no";
    EXPECT_EQ(run({"import", chain.root(), "--store", "ROOT"}).status, 2);
    {
        const ScopedLanguage russian("ru_RU.UTF-8");
        answer = "нет";
        EXPECT_EQ(run({"import", chain.root(), "--store", "ROOT"}).status, 2);
    }
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0], "These certificates will be added to the trusted roots (ROOT):\n"
                            "   CN=Test Root, O=Ordalis Test\n"
                            "   SHA-1 thumbprint: " +
                                thumbprint +
                                "\n"
                                "Signatures that lead up to them will be trusted. Add them? (yes/no): ");
    EXPECT_EQ(questions[1], "В доверенные корневые (ROOT) будут добавлены сертификаты:\n"
                            "   CN=Test Root, O=Ordalis Test\n"
                            "   Отпечаток SHA-1:  " +
                                thumbprint +
                                "\n"
                                "Подписи, которые к ним восходят, будут считаться доверенными. Добавить? (да/нет): ");
    EXPECT_TRUE(filesOf("ROOT").empty());

    // A yes is understood whatever the language.
    answer = "да";
    EXPECT_EQ(run({"import", chain.root(), "--store", "ROOT"}).status, 0);
    EXPECT_EQ(ListStore("ROOT").certificates.size(), 1u);
}

TEST_F(OtherStores, RootImportOffATerminalNeedsYes)
{
    const Outcome refused = run({"import", chain.root(), "--store", "ROOT"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
    EXPECT_TRUE(filesOf("ROOT").empty());

    EXPECT_EQ(run({"import", chain.root(), "--store", "ROOT", "--yes"}).status, 0);
    EXPECT_EQ(ListStore("ROOT").certificates.size(), 1u);
    EXPECT_TRUE(questions.empty());
}

TEST_F(OtherStores, TheProgramWithoutATerminalRefusesARoot)
{
    // A session of its own has no controlling terminal to ask on.
    const std::string log = store.path("program.log");
    const std::string command = std::string("setsid -w '") + ORDALIS_STORE_BINARY + "' import '" + chain.root() +
                                "' --store ROOT </dev/null >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << ReadFile(log);
    EXPECT_NE(ReadFile(log).find("--yes"), std::string::npos) << ReadFile(log);
    EXPECT_TRUE(filesOf("ROOT").empty());
}

TEST_F(OtherStores, CaTakesBundlesAndCrlsWithTheStoreModes)
{
    const Outcome bundle = run({"import", chain.bundle(), "--store", "CA"});
    EXPECT_EQ(bundle.status, 0) << bundle.err;
    EXPECT_NE(bundle.out.find("CN=Test Intermediate"), std::string::npos) << bundle.out;
    EXPECT_NE(bundle.out.find("CN=Test Root"), std::string::npos) << bundle.out;
    chain.revokeSigner();
    const std::string crl = chain.intermediateCrl();
    EXPECT_EQ(run({"import", crl, "--store", "CA"}).status, 0);
    const Outcome again = run({"import", crl, "--store", "CA"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "The revocation list is in the store already: CN=Test Intermediate, O=Ordalis Test\n");

    const Outcome listed = run({"list", "--store", "CA"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("Revocation list: CN=Test Intermediate"), std::string::npos) << listed.out;
    EXPECT_EQ(ListStore("CA").certificates.size(), 2u);
    EXPECT_TRUE(listed.err.empty()) << "a CRL file is no problem of the store: " << listed.err;

    struct stat st {};
    ASSERT_EQ(::stat(folderOf("CA").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    const std::vector<std::string> files = ListFolder(folderOf("CA"));
    EXPECT_EQ(files.size(), 3u);
    for (const std::string& file : files) {
        ASSERT_EQ(::stat((folderOf("CA") + "/" + file).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }
}

TEST_F(OtherStores, WhatAStoreDoesNotTakeIsRefused)
{
    chain.revokeSigner();
    const std::string crl = chain.intermediateCrl();
    EXPECT_EQ(run({"import", crl, "--store", "AddressBook"}).status, 2) << "CRLs belong in CA";
    EXPECT_EQ(run({"import", chain.signerKey(), "--store", "AddressBook"}).status, 2) << "keys belong in MY";
    const Outcome unknown = run({"list", "--store", "Trusted"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("AddressBook"), std::string::npos) << unknown.err;
    EXPECT_TRUE(filesOf("AddressBook").empty());
}

TEST_F(OtherStores, ListAndRemoveNameTheirStore)
{
    EXPECT_EQ(run({"import", chain.signer(), "--store", "AddressBook"}).status, 0);
    EXPECT_EQ(run({"list"}).out.find("Test Signer"), std::string::npos) << "MY stays as it was";
    EXPECT_NE(run({"list", "--store", "AddressBook"}).out.find("CN=Test Signer"), std::string::npos);
    EXPECT_EQ(run({"remove", "Test Signer", "--yes"}).status, 2) << "not in MY";
    EXPECT_EQ(run({"remove", "Test Signer", "--store", "AddressBook", "--yes"}).status, 0);
    EXPECT_TRUE(filesOf("AddressBook").empty());
}

constexpr const char* kIntermediateName = "CN=Test Intermediate, O=Ordalis Test";

TEST_F(OtherStores, ACrlSignedByAnotherKeyUnderTheAuthoritysNameIsRefused)
{
    answer = "да";
    ASSERT_EQ(run({"import", chain.root(), "--store", "ROOT"}).status, 0);
    ASSERT_EQ(run({"import", chain.intermediate(), "--store", "CA"}).status, 0);
    const std::vector<std::string> before = filesOf("CA");

    const SameNameAuthority forger(store.path(""), "forger", SameNameAuthority::CertifiedBy::Itself);
    const Outcome forged = run({"import", forger.crl("forged.crl"), "--store", "CA"});
    EXPECT_EQ(forged.status, 2);
    EXPECT_NE(forged.err.find(std::string("издателя \"") + kIntermediateName + "\""), std::string::npos) << forged.err;
    EXPECT_NE(forged.err.find("не подписан"), std::string::npos) << forged.err;
    EXPECT_TRUE(forged.out.empty()) << forged.out;
    EXPECT_EQ(filesOf("CA"), before);

    // The authority's own list, and the root's (its issuer is in ROOT), are taken.
    chain.revokeSigner();
    const Outcome genuine = run({"import", chain.intermediateCrl(), "--store", "CA"});
    EXPECT_EQ(genuine.status, 0) << genuine.err;
    EXPECT_EQ(genuine.out, std::string("Added the revocation list of: ") + kIntermediateName + "\n");
    EXPECT_EQ(run({"import", chain.rootCrl(), "--store", "CA"}).status, 0);
    EXPECT_EQ(ListStore("CA").crls.size(), 2u);
}

TEST_F(OtherStores, AReKeyedAuthoritysCrlIsTakenOnceItsNewCertificateIsInCa)
{
    ASSERT_EQ(run({"import", chain.intermediate(), "--store", "CA"}).status, 0);
    const SameNameAuthority rekeyed(store.path(""), "rekeyed", SameNameAuthority::CertifiedBy::ChainRoot);
    const std::string crl = rekeyed.crl("rekeyed.crl");

    const Outcome early = run({"import", crl, "--store", "CA"});
    EXPECT_EQ(early.status, 2) << "the old key did not sign it";
    EXPECT_NE(early.err.find(kIntermediateName), std::string::npos) << early.err;
    EXPECT_TRUE(ListStore("CA").crls.empty());

    ASSERT_EQ(run({"import", rekeyed.certificate(), "--store", "CA"}).status, 0);
    const Outcome later = run({"import", crl, "--store", "CA"});
    EXPECT_EQ(later.status, 0) << later.err;
    EXPECT_EQ(ListStore("CA").crls.size(), 1u);
}

TEST_F(OtherStores, ACrlMayBringItsIssuerButOneBadListRefusesTheWholeFile)
{
    chain.revokeSigner();
    const std::string genuine = ReadFile(chain.intermediateCrl());
    const std::string issuer = ReadFile(chain.intermediate());
    WriteFile(store.path("with-issuer.pem"), issuer + genuine);
    const SameNameAuthority forger(store.path(""), "forger", SameNameAuthority::CertifiedBy::Itself);
    WriteFile(store.path("one-forged.pem"), issuer + genuine + ReadFile(forger.crl("forged.crl")));

    const Outcome refused = run({"import", store.path("one-forged.pem"), "--store", "CA"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(kIntermediateName), std::string::npos) << refused.err;
    EXPECT_TRUE(filesOf("CA").empty()) << "neither the certificate nor the good list is kept";

    const Outcome taken = run({"import", store.path("with-issuer.pem"), "--store", "CA"});
    EXPECT_EQ(taken.status, 0) << taken.err;
    EXPECT_EQ(ListStore("CA").certificates.size(), 1u);
    EXPECT_EQ(ListStore("CA").crls.size(), 1u);
}

TEST_F(OtherStores, ADeltaCrlIsRefusedAsUnsupported)
{
    ASSERT_EQ(run({"import", chain.intermediate(), "--store", "CA"}).status, 0);
    chain.revokeSigner();
    const Outcome delta = run({"import", DeltaCrl(store.path("intermediate"), "delta.crl"), "--store", "CA"});
    EXPECT_EQ(delta.status, 2);
    EXPECT_NE(delta.err.find("delta CRL"), std::string::npos) << delta.err;
    EXPECT_NE(delta.err.find("не поддерживаются"), std::string::npos) << delta.err;
    EXPECT_NE(delta.err.find(kIntermediateName), std::string::npos) << delta.err;
    EXPECT_TRUE(ListStore("CA").crls.empty());
}

} // namespace
} // namespace ordalis::test
