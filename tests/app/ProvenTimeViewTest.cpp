// The certificate the window shows after verifying a timestamped signature: its
// trust is judged at the time the timestamp proves, and its status says so,
// while the report lines stay those of any verification.

#include "app/QtDesktop.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/SignatureRaising.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "tests/app/OnModals.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"
#include "tests/support/TestTsa.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <algorithm>

namespace ordalis::test {
namespace {

constexpr long kHour = 3600;
constexpr long kMonth = 30L * 24 * kHour;

ChainExtras RootFromHoursAgo()
{
    ChainExtras extras;
    extras.root = ValidityWindow{-5 * kHour, kMonth};
    return extras;
}

struct Shown {
    QString status, level;
};

// Root and intermediate from five hours ago; the signer's certificate was
// valid from four hours ago to one hour ago.
class ProvenTimeView : public ::testing::Test {
protected:
    ProvenTimeView()
        : chain(store.path("chain"), ChainOptions{.intermediate = {-5 * kHour, kMonth}, .signer = {-4 * kHour, -kHour}},
                RootFromHoursAgo()),
          tsaKeys(chain.issueService("tsa", "/CN=Test TSA/O=Ordalis Test", OpenSslChain::ServiceKind::Timestamping,
                                     {-5 * kHour, kMonth})),
          tsa(tsaKeys.certificate, tsaKeys.key)
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        owner.show();
        desktop.setOwner(&owner);
        TrustChainRoot(chain);
        PutChainCrls(chain);
        tab.file = store.path("contract.txt");
        tab.signature = store.path("contract.txt.sig");
        WriteFile(tab.file, "Contract between the parties\r\n");
        std::string printed;
        ASSERT_EQ(RunOpenSsl(store.path(""),
                             "cms -sign -binary -cades -md md_gost12_256 -in contract.txt -signer '" + chain.signer() +
                                 "' -inkey '" + chain.signerKey() + "' -outform DER -out contract.txt.sig",
                             &printed),
                  0)
            << printed;
    }

    // Raises the signature to CAdES-T with a timestamp the authority dates offset seconds from now.
    void stamp(long offset)
    {
        tsa.setClockOffset(offset);
        const std::string der = ReadFile(tab.signature);
        LongTermRequest request;
        request.tsa.url = tsa.url();
        const std::vector<unsigned char> raised =
            RaiseSignature({reinterpret_cast<const unsigned char*>(der.data()), der.size()}, request);
        WriteFile(tab.signature, std::string(raised.begin(), raised.end()));
    }

    // Verifies as the window does and reads the certificate view it opens.
    Shown verify()
    {
        Shown shown;
        OnModals watch([&](QWidget* modal) {
            if (modal->objectName() != QStringLiteral("CertificateViewDialog"))
                return false;
            if (auto* status = modal->findChild<QLabel*>(QStringLiteral("trustStatus")))
                shown.status = status->text();
            if (auto* icon = modal->findChild<QLabel*>(QStringLiteral("trustIcon")))
                shown.level = icon->property("trustLevel").toString();
            modal->close();
            return true;
        });
        EXPECT_TRUE(VerifyDetachedSignature(tab.signature, tab.file, tab, desktop));
        return shown;
    }

    bool reportHas(const std::string& line) const
    {
        return std::find(tab.report.begin(), tab.report.end(), line) != tab.report.end();
    }

    TestStore store;
    OpenSslChain chain;
    PemPair tsaKeys;
    TestTsa tsa;
    TestVerifyTab tab;
    QWidget owner;
    QtDesktop desktop{QStringLiteral("ordalis")};
};

TEST_F(ProvenTimeView, ATimestampInsideTheValidityShowsTheCertificateTrustedThen)
{
    stamp(-2 * kHour);
    const Shown shown = verify();
    EXPECT_EQ(shown.level, QStringLiteral("ok")) << shown.status.toStdString();
    EXPECT_TRUE(shown.status.contains(QStringLiteral("\nПроверено на время штампа: "))) << shown.status.toStdString();
    // The report judges the date now, as for any signature.
    EXPECT_TRUE(reportHas("X Сертификат не действующий по дате"));
}

TEST_F(ProvenTimeView, WithoutATimestampOrWithOneAfterTheValidityTheViewJudgesNow)
{
    const Shown unstamped = verify();
    EXPECT_EQ(unstamped.level, QStringLiteral("error"));
    EXPECT_FALSE(unstamped.status.contains(QStringLiteral("штампа"))) << unstamped.status.toStdString();

    stamp(0); // proves a time after the certificate expired
    const Shown late = verify();
    EXPECT_EQ(late.level, QStringLiteral("error")) << late.status.toStdString();
    EXPECT_TRUE(late.status.contains(QStringLiteral("\nПроверено на время штампа: "))) << late.status.toStdString();
}

} // namespace
} // namespace ordalis::test
