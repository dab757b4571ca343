// The certificate view tells whether a certificate can be trusted and shows its
// certification path, on a root → intermediate → signer chain made by openssl.

#include "app/QtDesktop.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "tests/app/OnModals.h"
#include "tests/cryptomsg/operations/TestTabs.h"
#include "tests/support/ChainInStores.h"
#include "tests/support/OpenSslChain.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TestStore.h"

#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <optional>

namespace ordalis::test {
namespace {

const QString kValid = QStringLiteral("Этот сертификат действителен.");

// What one view dialog showed: the status on its General page, and its path
// from the top down, each link's name, state in words and icon level.
struct Seen {
    QStringList tabs;
    QString status, level;
    QStringList names, states, levels;
    int branching = 0; // items with more than one child, or trees with more than one top
};

QString StatusOf(QWidget* dialog, const char* name, const char* property = nullptr)
{
    auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    EXPECT_NE(label, nullptr) << name;
    if (label == nullptr)
        return {};
    return property != nullptr ? label->property(property).toString() : label->text();
}

QTreeWidgetItem* PathItem(QWidget* dialog, int depthFromTop)
{
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("certificationPath"));
    QTreeWidgetItem* item = tree != nullptr ? tree->topLevelItem(0) : nullptr;
    for (int i = 0; item != nullptr && i < depthFromTop; ++i)
        item = item->child(0);
    return item;
}

Seen Read(QWidget* dialog)
{
    Seen seen;
    auto* pages = dialog->findChild<QTabWidget*>();
    for (int i = 0; pages != nullptr && i < pages->count(); ++i)
        seen.tabs.append(pages->tabText(i));
    seen.status = StatusOf(dialog, "trustStatus");
    seen.level = StatusOf(dialog, "trustIcon", "trustLevel");
    auto* tree = dialog->findChild<QTreeWidget*>(QStringLiteral("certificationPath"));
    if (tree == nullptr) {
        ADD_FAILURE() << "no certification path";
        return seen;
    }
    seen.branching += tree->topLevelItemCount() > 1 ? 1 : 0;
    for (QTreeWidgetItem* item = tree->topLevelItem(0); item != nullptr; item = item->child(0)) {
        seen.branching += item->childCount() > 1 ? 1 : 0;
        tree->setCurrentItem(item);
        seen.names.append(item->text(0));
        seen.states.append(StatusOf(dialog, "linkState"));
        seen.levels.append(item->data(0, Qt::UserRole + 1).toString());
    }
    return seen;
}

class TrustView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(EnsureGostEngine());
        owner.show();
        desktop.setOwner(&owner);
    }
    void makeChain(const ChainOptions& options = {}) { chain.emplace(store.path(""), options); }
    void put(const std::string& file, const std::string& storeName) { ImportFile(file, {}, storeName); }
    void trustRoot() { TrustChainRoot(*chain); }
    void putCrls() { PutChainCrls(*chain); }

    static CertContextPtr ContextOf(const std::string& derFile)
    {
        const std::string der = ReadFile(derFile);
        return CertContextPtr(CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                           static_cast<DWORD>(der.size())));
    }
    CertContextPtr signer()
    {
        EXPECT_EQ(RunOpenSsl(store.path(""), "x509 -in '" + chain->signer() + "' -outform DER -out signer.der"), 0);
        return ContextOf(store.path("signer.der"));
    }

    // Opens the view of the certificate as the window does, reads it and closes it.
    Seen view(PCCERT_CONTEXT certificate)
    {
        Seen seen;
        OnModals watch([&](QWidget* modal) {
            seen = Read(modal);
            QTest::keyClick(modal, Qt::Key_Escape);
            return true;
        });
        desktop.viewCertificate(certificate);
        return seen;
    }
    Seen viewSigner()
    {
        CertContextPtr context = signer();
        EXPECT_NE(context, nullptr);
        return view(context.get());
    }

    TestStore store;
    std::optional<OpenSslChain> chain;
    QWidget owner;
    QtDesktop desktop{QStringLiteral("ordalis")};
};

const QStringList kChainNames = {QStringLiteral("Test Root"), QStringLiteral("Test Intermediate"),
                                 QStringLiteral("Test Signer")};

TEST_F(TrustView, ATrustedSignerShowsItsPathFromTheRootDown)
{
    makeChain();
    trustRoot();
    putCrls();
    const Seen seen = viewSigner();
    EXPECT_EQ(seen.tabs,
              (QStringList{QStringLiteral("Общие"), QStringLiteral("Состав"), QStringLiteral("Путь сертификации")}));
    EXPECT_EQ(seen.status,
              QStringLiteral("Сертификат действителен: цепочка ведет к доверенному корневому сертификату"));
    EXPECT_EQ(seen.level, QStringLiteral("ok"));
    EXPECT_EQ(seen.names, kChainNames);
    EXPECT_EQ(seen.states, (QStringList{kValid, kValid, kValid}));
    EXPECT_EQ(seen.levels, (QStringList{"ok", "ok", "ok"}));
    EXPECT_EQ(seen.branching, 0) << "one link below the other";
}

TEST_F(TrustView, WithoutATrustedRootTheTopOfWhatWasBuiltIsMarked)
{
    makeChain();
    put(chain->intermediate(), "CA");
    putCrls();
    Seen seen = viewSigner();
    EXPECT_EQ(seen.status, QStringLiteral("Не удалось проверить сертификат до доверенного корневого центра "
                                          "сертификации (CN=Test Intermediate, O=Ordalis Test)"));
    EXPECT_EQ(seen.level, QStringLiteral("warning"));
    EXPECT_EQ(seen.names, (QStringList{"Test Intermediate", "Test Signer"}));
    EXPECT_EQ(seen.states.value(0), QStringLiteral("Издатель этого сертификата не найден: путь не доходит до "
                                                   "доверенного корневого сертификата."));
    EXPECT_EQ(seen.levels, (QStringList{"warning", "ok"}));
    EXPECT_EQ(seen.states.value(1), kValid);

    // The root known, but not trusted.
    put(chain->root(), "CA");
    seen = viewSigner();
    EXPECT_EQ(seen.level, QStringLiteral("warning"));
    EXPECT_EQ(seen.names, kChainNames);
    EXPECT_EQ(seen.states.value(0), QStringLiteral("Этот корневой сертификат не является доверенным: его нет в "
                                                   "хранилище доверенных корневых сертификатов."));
    EXPECT_EQ(seen.levels, (QStringList{"warning", "ok", "ok"}));
}

TEST_F(TrustView, RevokedAndUnknownRevocation)
{
    makeChain();
    trustRoot();
    Seen seen = viewSigner();
    EXPECT_EQ(seen.status, QStringLiteral("Цепочка ведет к доверенному корневому сертификату, но нет действующего "
                                          "списка отзыва (CN=Test Signer, O=Ordalis Test)"));
    EXPECT_EQ(seen.level, QStringLiteral("warning"));
    const QString unknown =
        QStringLiteral("Не удалось проверить, не отозван ли этот сертификат: нет действующего списка отзыва.");
    EXPECT_EQ(seen.states, (QStringList{kValid, unknown, unknown})) << "a trusted root needs no CRL";
    EXPECT_EQ(seen.levels, (QStringList{"ok", "warning", "warning"}));

    chain->revokeSigner();
    putCrls();
    seen = viewSigner();
    EXPECT_TRUE(seen.status.startsWith(QStringLiteral("Сертификат отозван (CN=Test Signer, O=Ordalis Test) ")))
        << seen.status.toStdString();
    EXPECT_TRUE(seen.status.endsWith(QStringLiteral(" UTC"))) << seen.status.toStdString();
    EXPECT_EQ(seen.level, QStringLiteral("error"));
    EXPECT_EQ(seen.states.mid(0, 2), (QStringList{kValid, kValid}));
    EXPECT_TRUE(seen.states.value(2).startsWith(QStringLiteral("Этот сертификат отозван ")))
        << seen.states.value(2).toStdString();
    EXPECT_TRUE(seen.states.value(2).endsWith(QStringLiteral(" UTC."))) << seen.states.value(2).toStdString();
    EXPECT_EQ(seen.levels, (QStringList{"ok", "ok", "error"}));
}

TEST_F(TrustView, OutOfDateLinksAreNamed)
{
    makeChain({.intermediate = {-30L * 24 * 3600, -24L * 3600}, .signer = {}});
    trustRoot();
    putCrls();
    Seen seen = viewSigner();
    EXPECT_EQ(seen.status, QStringLiteral("Срок действия сертификата истек (CN=Test Intermediate, O=Ordalis Test)"));
    EXPECT_EQ(seen.level, QStringLiteral("error"));
    EXPECT_EQ(seen.names, kChainNames);
    EXPECT_EQ(seen.states, (QStringList{kValid, QStringLiteral("Срок действия этого сертификата истек."), kValid}));
    EXPECT_EQ(seen.levels, (QStringList{"ok", "error", "ok"}));
}

TEST_F(TrustView, ASignerNotYetValid)
{
    makeChain({.intermediate = {}, .signer = {24L * 3600, 30L * 24 * 3600}});
    trustRoot();
    putCrls();
    const Seen seen = viewSigner();
    EXPECT_EQ(seen.status, QStringLiteral("Сертификат еще не действует (CN=Test Signer, O=Ordalis Test)"));
    EXPECT_EQ(seen.level, QStringLiteral("error"));
    EXPECT_EQ(seen.states, (QStringList{kValid, kValid, QStringLiteral("Этот сертификат еще не действует.")}));
}

TEST_F(TrustView, ADamagedLinkSignatureIsAnError)
{
    makeChain();
    put(chain->root(), "ROOT");
    putCrls();
    put(WithDamagedSignature(store.path(""), chain->intermediate(), "intermediate-damaged.cer"), "CA");
    const Seen seen = viewSigner();
    EXPECT_EQ(seen.status,
              QStringLiteral("Подпись сертификата повреждена или неверна (CN=Test Intermediate, O=Ordalis Test)"));
    EXPECT_EQ(seen.level, QStringLiteral("error"));
    EXPECT_EQ(seen.names, kChainNames);
    EXPECT_EQ(seen.states.value(1), QStringLiteral("Подпись издателя на этом сертификате повреждена или неверна."));
    EXPECT_EQ(seen.levels, (QStringList{"ok", "error", "ok"}));
}

TEST_F(TrustView, VerificationShowsThePathThroughTheMessagesOwnCertificates)
{
    makeChain();
    put(chain->root(), "ROOT"); // the intermediate comes only in the message
    putCrls();
    WriteFile(store.path("report.txt"), "quarterly report\n");
    ASSERT_EQ(RunOpenSsl(store.path(""), "cms -sign -binary -md md_gost12_256 -in report.txt -signer '" +
                                             chain->signer() + "' -inkey '" + chain->signerKey() + "' -certfile '" +
                                             chain->intermediate() + "' -outform DER -out report.txt.sig"),
              0);
    Seen seen;
    OnModals watch([&](QWidget* modal) {
        seen = Read(modal);
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    TestVerifyTab tab;
    EXPECT_TRUE(VerifyDetachedSignature(store.path("report.txt.sig"), store.path("report.txt"), tab, desktop));
    EXPECT_EQ(seen.level, QStringLiteral("ok")) << seen.status.toStdString();
    EXPECT_EQ(seen.names, kChainNames);
    // The report keeps its lines.
    ASSERT_EQ(tab.report.size(), 8u);
    EXPECT_EQ(tab.report[0], "Проверка отсоединенной подписи.....");
    EXPECT_EQ(tab.report[1], "V - Подпись математически верна...");
    EXPECT_EQ(tab.report[2], "Серийный номер сертификата:20");
    EXPECT_EQ(tab.report[3], "V Сертификат действующий по дате..");
}

TEST_F(TrustView, EachLinkOpensItsOwnView)
{
    makeChain();
    trustRoot();
    putCrls();
    CertContextPtr context = signer();
    QWidget* first = nullptr;
    std::vector<Seen> links;
    OnModals watch([&](QWidget* modal) {
        if (first == nullptr) { // the signer's view: open the root by a double click
            first = modal;
            auto* tree = modal->findChild<QTreeWidget*>(QStringLiteral("certificationPath"));
            QTreeWidgetItem* root = PathItem(modal, 0);
            tree->setCurrentItem(root);
            QMetaObject::invokeMethod(
                tree, [tree, root] { emit tree->itemDoubleClicked(root, 0); }, Qt::QueuedConnection);
            return false;
        }
        if (modal != first) { // a link's view, above the signer's
            EXPECT_EQ(modal->parentWidget(), first);
            links.push_back(Read(modal));
            QTest::keyClick(modal, Qt::Key_Escape);
            return false;
        }
        if (links.size() == 1) { // back: now the intermediate, by the button
            modal->findChild<QTreeWidget*>(QStringLiteral("certificationPath"))->setCurrentItem(PathItem(modal, 1));
            Queued(modal->findChild<QPushButton*>(QStringLiteral("viewLinkButton")));
            return false;
        }
        QTest::keyClick(modal, Qt::Key_Escape);
        return true;
    });
    desktop.viewCertificate(context.get());

    ASSERT_EQ(links.size(), 2u);
    // A root certifies others: it is viewed for what it is, not as a signer's certificate.
    EXPECT_EQ(links[0].status,
              QStringLiteral("Сертификат действителен: цепочка ведет к доверенному корневому сертификату"));
    EXPECT_EQ(links[0].names, (QStringList{"Test Root"}));
    EXPECT_EQ(links[1].names, (QStringList{"Test Root", "Test Intermediate"}));
    EXPECT_EQ(links[1].level, QStringLiteral("ok"));
}

} // namespace
} // namespace ordalis::test
