#include "app/CertificateDialogs.h"

#include "app/CertificateRows.h"
#include "app/KeyMark.h"
#include "common/ErrorBoxText.h"
#include "cryptomsg/store/StoreApi.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
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
                            CertificateUse use, DesktopSeam& desktop);

    // The index of the chosen certificate, or -1.
    int chosenIndex() const;

    void accept() override;

private:
    QWidget* legend();
    void fillList();
    void viewChosen();
    void updateChoice();

    const std::vector<CertContextPtr>& m_certificates;
    const CertificateUse m_use;
    DesktopSeam& m_desktop;
    QTreeWidget* m_list;
    QLabel* m_details;
    QLabel* m_refusal;
    QPushButton* m_view;
    QPushButton* m_ok;
};

CertificateSelectDialog::CertificateSelectDialog(QWidget* parent, const QString& title,
                                                 const std::vector<CertContextPtr>& certificates, CertificateUse use,
                                                 DesktopSeam& desktop)
    : QDialog(parent), m_certificates(certificates), m_use(use), m_desktop(desktop), m_list(new QTreeWidget(this)),
      m_details(new QLabel(this)), m_refusal(new QLabel(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("CertificateSelectDialog"));

    auto* prompt = new QLabel(QStringLiteral("Выберите сертификат (начните вводить имя, чтобы найти его):"), this);
    m_list->setObjectName(QStringLiteral("certificateList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels(CertificateColumnTitles());
    m_list->headerItem()->setToolTip(kKeyMark, QStringLiteral("Есть ли в хранилище закрытый ключ сертификата"));

    m_details->setObjectName(QStringLiteral("certificateDetails"));
    m_details->setTextFormat(Qt::PlainText);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setWordWrap(true);
    m_refusal->setObjectName(QStringLiteral("refusalReason"));
    m_refusal->setTextFormat(Qt::PlainText);
    QPalette warning = m_refusal->palette();
    warning.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    m_refusal->setPalette(warning);

    auto* buttons = new QDialogButtonBox(this);
    m_view = buttons->addButton(QStringLiteral("Просмотр"), QDialogButtonBox::ActionRole);
    m_ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    m_view->setObjectName(QStringLiteral("viewButton"));
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_list, 1);
    layout->addWidget(legend());
    layout->addWidget(m_details);
    layout->addWidget(m_refusal);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QPushButton::clicked, this, [this] { viewChosen(); });
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { updateChoice(); });

    fillList();
    resize(900, 400);
}

QWidget* CertificateSelectDialog::legend()
{
    auto* legend = new QWidget(this);
    auto* line = new QHBoxLayout(legend);
    line->setContentsMargins(0, 0, 0, 0);
    auto* mark = new QLabel(legend);
    mark->setPixmap(KeyMarkIcon().pixmap(16, 16));
    line->addWidget(mark);
    auto* text = new QLabel(QStringLiteral("— в хранилище есть закрытый ключ сертификата"), legend);
    text->setObjectName(QStringLiteral("keyLegend"));
    line->addWidget(text, 1);
    return legend;
}

void CertificateSelectDialog::fillList()
{
    for (std::size_t i = 0; i < m_certificates.size(); ++i)
        AddCertificateRow(m_list, m_certificates[i].get(), static_cast<int>(i), m_use);
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(kIssuedTo, Qt::AscendingOrder);
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->resizeColumnToContents(column);
    if (m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateChoice();
}

int CertificateSelectDialog::chosenIndex() const
{
    const QTreeWidgetItem* row = m_list->currentItem();
    return row != nullptr ? CertificateIndexOf(row) : -1;
}

void CertificateSelectDialog::accept()
{
    const QTreeWidgetItem* row = m_list->currentItem();
    if (row != nullptr && RowCanBeChosen(row))
        QDialog::accept();
}

void CertificateSelectDialog::updateChoice()
{
    const QTreeWidgetItem* row = m_list->currentItem();
    m_view->setEnabled(row != nullptr);
    m_ok->setEnabled(row != nullptr && RowCanBeChosen(row));
    m_details->setText(row != nullptr ? RowDetails(row) : QString());
    m_refusal->setText(row != nullptr ? RowRefusal(row) : QString());
}

// Runs inside this dialog's event loop, so nothing may escape it.
void CertificateSelectDialog::viewChosen()
{
    const int index = chosenIndex();
    if (index < 0)
        return;
    try {
        m_desktop.viewCertificate(m_certificates.at(static_cast<std::size_t>(index)).get());
    } catch (const std::exception& error) {
        m_desktop.showError(ErrorBoxText(error.what()));
    }
    // Back to choosing: Enter now takes the certificate rather than viewing it again.
    if (m_ok->isEnabled())
        m_ok->setFocus(Qt::OtherFocusReason);
    else
        m_list->setFocus(Qt::OtherFocusReason);
}

} // namespace

PCCERT_CONTEXT SelectCertificateFromStore(QWidget* parent, HCERTSTORE store, const QString& title, CertificateUse use,
                                          DesktopSeam& desktop)
{
    const std::vector<CertContextPtr> certificates = StoreCertificates(store);
    CertificateSelectDialog dialog(parent, title, certificates, use, desktop);
    // Modal for the whole application: with the main window live, the user
    // could start a second operation inside the one that asked.
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenIndex() < 0)
        return nullptr;
    return CertDuplicateCertificateContext(certificates.at(static_cast<std::size_t>(dialog.chosenIndex())).get());
}

} // namespace ordalis
