#pragma once

// The certification path page of the certificate view: the path from the root
// down to the certificate as an indented tree, each link with its icon, the
// chosen link's own state in words, and a way to open that link's own view.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/CertificateTrust.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace ordalis {

class CertificatePathPage : public QWidget {
public:
    // depth: 0 for the certificate itself, 1 for its issuer, ...
    using OpenLink = std::function<void(PCCERT_CONTEXT link, std::size_t depth)>;

    CertificatePathPage(PCCERT_CONTEXT certificate, const TrustOutcome& outcome, OpenLink openLink);

private:
    void fillTree(const TrustOutcome& outcome);
    void showChosen();
    void openChosen();
    int chosenDepth() const;

    std::vector<CertContextPtr> m_links; // by depth, beside the outcome's path
    std::vector<QString> m_states;       // by depth
    OpenLink m_openLink;
    QTreeWidget* m_tree;
    QLabel* m_state;
    QPushButton* m_view;
};

} // namespace ordalis
