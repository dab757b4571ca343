// The verification tab's report on signatures that look like something else:
// a certificate put in the place of the one the signature names, and a DER
// signature whose first bytes read "MI".

#include "tests/app/WindowFixture.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <QPlainTextEdit>

namespace ordalis::test {
namespace {

class MisleadingSignatures : public WindowTest {
protected:
    std::string memo() { return control<QPlainTextEdit>("Memo1")->toPlainText().toStdString(); }

    void verify(const std::string& content, const std::string& signature)
    {
        choose("Button4", content);
        choose("Button5", signature);
        button("Button3")->click();
    }

    void openssl(const std::string& args)
    {
        std::string printed;
        ASSERT_EQ(RunOpenSsl(dir.path(), args, &printed), 0) << args << "\n" << printed;
    }

    TestStore store;
};

TEST_F(MisleadingSignatures, ASubstitutedCertificateGetsTheInvalidReport)
{
    const OpenSslChain chain(dir.path());
    WriteFile(dir.file("report.txt"), "Quarterly report\n");
    openssl("req -new -key '" + chain.signerKey() + "' -subj '/CN=Impostor/O=Ordalis Test' -out impostor.csr");
    openssl("x509 -req -in impostor.csr -CA '" + chain.intermediate() + "' -CAkey '" + dir.path() +
            "/intermediate/key.pem' -set_serial 0x20 -md_gost12_256 -out impostor.pem");
    for (const char* certificate : {"signer.pem", "impostor.pem"})
        openssl(std::string("cms -sign -binary -cades -md md_gost12_256 -in report.txt -signer signer.pem -inkey "
                            "signer.key -nocerts -certfile ") +
                certificate + " -outform DER -out " + certificate + ".sig");

    verify(dir.file("report.txt"), dir.file("signer.pem.sig"));
    EXPECT_EQ(desktop.viewedCertificates, 1);
    EXPECT_EQ(memo().rfind("Проверка отсоединенной подписи.....\nV - Подпись математически верна...\n", 0), 0u)
        << memo();
    verify(dir.file("report.txt"), dir.file("impostor.pem.sig"));
    EXPECT_EQ(memo(), "Проверка отсоединенной подписи.....\nX - Подпись математически не верна");
    EXPECT_EQ(desktop.viewedCertificates, 1) << "the impostor's certificate is not shown as the signer's";
}

TEST_F(MisleadingSignatures, ADerSignatureBeginningWithMiGetsTheValidReport)
{
    store.add("Signer", KeyAlgorithm::Gost2012_256);
    const std::string content = dir.file("sized.bin");
    const auto signAttached = [&](std::size_t size) {
        WriteFile(content, std::string(size, 'a'));
        choose("Button2", content);
        checkBox("CheckBox3")->setChecked(true);
        desktop.certificateAnswers.push_back(store.indexOf("Signer"));
        button("Button1")->click();
        return ReadFile(content + ".sig");
    };
    const std::size_t overhead = signAttached(19000).size() - 19000;
    const std::string der = signAttached(19789 - overhead);
    ASSERT_EQ(der.substr(0, 4), std::string("\x30\x82\x4D\x49", 4)) << "30 82 4D 49: \"MI\" in the first line";
    verify(content, content + ".sig");
    EXPECT_EQ(memo().rfind("Проверка отсоединенной подписи.....\nV - Подпись математически верна...\n", 0), 0u)
        << memo();
}

} // namespace
} // namespace ordalis::test
