#include "app/CertificatePathPage.h"

#include "app/MessageBoxes.h"
#include "app/TrustStatusView.h"
#include "common/ErrorBoxText.h"
#include "cryptomsg/store/CertificateContextTrust.h"
#include "cryptomsg/store/CertificateDescription.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace ordalis {

CertificatePathPage::CertificatePathPage(PCCERT_CONTEXT certificate, const TrustOutcome& outcome, OpenLink openLink)
    : m_openLink(std::move(openLink)), m_tree(new QTreeWidget(this)), m_state(new QLabel(this)),
      m_view(new QPushButton(QStringLiteral("Просмотр сертификата"), this))
{
    setObjectName(QStringLiteral("pathPage"));
    for (const X509Ptr& link : outcome.path)
        m_links.emplace_back(PathLinkContext(certificate, link.get()));

    m_tree->setObjectName(QStringLiteral("certificationPath"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_state->setObjectName(QStringLiteral("linkState"));
    m_state->setTextFormat(Qt::PlainText);
    m_state->setWordWrap(true);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_view->setObjectName(QStringLiteral("viewLinkButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Путь сертификации"), this));
    layout->addWidget(m_tree, 1);
    auto* buttonLine = new QHBoxLayout;
    buttonLine->addStretch(1);
    buttonLine->addWidget(m_view);
    layout->addLayout(buttonLine);
    layout->addWidget(new QLabel(QStringLiteral("Состояние сертификата:"), this));
    layout->addWidget(m_state);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] { showChosen(); });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { openChosen(); });
    connect(m_view, &QPushButton::clicked, this, [this] { openChosen(); });
    fillTree(outcome);
}

// The root at the top, each issued certificate one level below its issuer, the
// certificate itself last and chosen, as the path is read.
void CertificatePathPage::fillTree(const TrustOutcome& outcome)
{
    QTreeWidgetItem* above = nullptr;
    for (std::size_t depth = outcome.path.size(); depth-- > 0;) {
        const LinkTrust link = depth < outcome.links.size() ? outcome.links[depth] : LinkTrust{};
        m_states.insert(m_states.begin(), QString::fromStdString(LinkSentence(link)));
        auto* item = above != nullptr ? new QTreeWidgetItem(above) : new QTreeWidgetItem(m_tree);
        const QString name = m_links[depth] ? QString::fromStdString(DescribeCertificate(m_links[depth].get()).issuedTo)
                                            : QStringLiteral("?");
        item->setText(0, name);
        item->setIcon(0, TrustIcon(LevelOf(link)));
        item->setData(0, Qt::UserRole, static_cast<int>(depth));
        item->setData(0, Qt::UserRole + 1, QString::fromLatin1(TrustLevelName(LevelOf(link))));
        above = item;
    }
    m_tree->expandAll();
    m_tree->setCurrentItem(above);
    showChosen();
}

int CertificatePathPage::chosenDepth() const
{
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item != nullptr ? item->data(0, Qt::UserRole).toInt() : -1;
}

void CertificatePathPage::showChosen()
{
    const int depth = chosenDepth();
    const bool chosen = depth >= 0 && static_cast<std::size_t>(depth) < m_links.size();
    m_state->setText(chosen ? m_states[static_cast<std::size_t>(depth)] : QString());
    m_view->setEnabled(chosen && m_links[static_cast<std::size_t>(depth)] != nullptr);
}

// Runs inside the dialog's event loop, so nothing may escape it.
void CertificatePathPage::openChosen()
{
    const int depth = chosenDepth();
    if (depth < 0 || static_cast<std::size_t>(depth) >= m_links.size() || !m_links[static_cast<std::size_t>(depth)])
        return;
    try {
        m_openLink(m_links[static_cast<std::size_t>(depth)].get(), static_cast<std::size_t>(depth));
    } catch (const std::exception& error) {
        ShowErrorBox(this, window()->windowTitle(), QString::fromStdString(ErrorBoxText(error.what())));
    }
}

} // namespace ordalis
