#include "app/CertificateDialogs.h"

#include "common/ErrorBoxText.h"
#include "app/KeyMark.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>
#include <vector>

namespace ordalis {

namespace {

// Every certificate of the store, each held by its own reference (enumeration
// frees the previous one as it goes on).
std::vector<CertContextPtr> StoreCertificates(HCERTSTORE store)
{
    std::vector<CertContextPtr> certificates;
    if (store == nullptr)
        return certificates;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr)
        certificates.emplace_back(CertDuplicateCertificateContext(context));
    return certificates;
}

class CertificateSelectDialog : public QDialog {
public:
    CertificateSelectDialog(QWidget* parent, const QString& title, const std::vector<CertContextPtr>& certificates,
                            DesktopSeam& desktop);

    // The chosen row, or -1.
    int chosenRow() const { return m_list->currentIndex().isValid() ? m_list->currentIndex().row() : -1; }

private:
    void fillList();
    void viewChosen();
    void updateButtons();

    const std::vector<CertContextPtr>& m_certificates;
    DesktopSeam& m_desktop;
    QTreeWidget* m_list;
    QPushButton* m_view;
    QPushButton* m_ok;
};

CertificateSelectDialog::CertificateSelectDialog(QWidget* parent, const QString& title,
                                                 const std::vector<CertContextPtr>& certificates,
                                                 DesktopSeam& desktop)
    : QDialog(parent), m_certificates(certificates), m_desktop(desktop), m_list(new QTreeWidget(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("CertificateSelectDialog"));

    auto* prompt = new QLabel(QStringLiteral("Выберите сертификат:"), this);
    m_list->setObjectName(QStringLiteral("certificateList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels(
        {QStringLiteral("Кому выдан"), QStringLiteral("Кем выдан"), QStringLiteral("Действителен по"),
         QStringLiteral("Алгоритм ключа")});

    auto* buttons = new QDialogButtonBox(this);
    m_view = buttons->addButton(QStringLiteral("Просмотр"), QDialogButtonBox::ActionRole);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    m_view->setObjectName(QStringLiteral("viewButton"));
    m_ok->setObjectName(QStringLiteral("okButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QPushButton::clicked, this, [this] { viewChosen(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

    fillList();
    resize(760, 320);
}

void CertificateSelectDialog::fillList()
{
    const QIcon keyMark = KeyMarkIcon();
    for (const auto& certificate : m_certificates) {
        const CertificateDescription description = DescribeCertificate(certificate.get());
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::fromStdString(description.issuedTo));
        item->setText(1, QString::fromStdString(description.issuedBy));
        item->setText(2, QString::fromStdString(description.validTo));
        item->setText(3, QString::fromStdString(description.keyAlgorithm));
        if (description.hasPrivateKey) {
            item->setIcon(0, keyMark);
            item->setToolTip(0, QStringLiteral("Есть закрытый ключ"));
        }
    }
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void CertificateSelectDialog::updateButtons()
{
    const bool chosen = chosenRow() >= 0;
    m_view->setEnabled(chosen);
    m_ok->setEnabled(chosen);
}

// Runs inside this dialog's event loop, so nothing may escape it.
void CertificateSelectDialog::viewChosen()
{
    const int row = chosenRow();
    if (row < 0)
        return;
    try {
        m_desktop.viewCertificate(m_certificates.at(static_cast<std::size_t>(row)).get());
    } catch (const std::exception& error) {
        m_desktop.showError(ErrorBoxText(error.what()));
    }
}

} // namespace

PCCERT_CONTEXT SelectCertificateFromStore(QWidget* parent, HCERTSTORE store, const QString& title,
                                          DesktopSeam& desktop)
{
    const std::vector<CertContextPtr> certificates = StoreCertificates(store);
    CertificateSelectDialog dialog(parent, title, certificates, desktop);
    // Modal for the whole application: with the main window live, the user
    // could start a second operation inside the one that asked.
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenRow() < 0)
        return nullptr;
    return CertDuplicateCertificateContext(certificates.at(static_cast<std::size_t>(dialog.chosenRow())).get());
}

} // namespace ordalis
