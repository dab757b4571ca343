#include "app/CertificateDialogs.h"

#include "app/CertificatePathPage.h"
#include "app/KeyMark.h"
#include "app/TrustStatusView.h"
#include "cryptomsg/store/CertificateContextTrust.h"
#include "cryptomsg/store/CertificateDescription.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

namespace ordalis {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QLabel* ValueLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The verdict the view shows, and when it was taken if not now.
struct ShownTrust {
    const TrustOutcome& outcome;
    std::string takenAt; // words naming the timestamp's time; empty for now
};

QString StatusSentence(const ShownTrust& trust)
{
    QString sentence = Text(TrustSentence(trust.outcome));
    if (!trust.takenAt.empty())
        sentence += QLatin1Char('\n') + Text(trust.takenAt);
    return sentence;
}

QWidget* GeneralPage(const CertificateDescription& description, const ShownTrust& trust)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("generalPage"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(TrustStatusLine(StatusSentence(trust), LevelOf(trust.outcome), page));

    auto* heading = new QLabel(QStringLiteral("Сведения о сертификате"), page);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Кому выдан:"), ValueLabel(Text(description.issuedTo), page));
    form->addRow(QStringLiteral("Кем выдан:"), ValueLabel(Text(description.issuedBy), page));
    form->addRow(QStringLiteral("Действителен с:"), ValueLabel(Text(description.validFrom), page));
    form->addRow(QStringLiteral("Действителен по:"), ValueLabel(Text(description.validTo), page));
    layout->addLayout(form);

    if (description.hasPrivateKey) {
        auto* keyLine = new QHBoxLayout;
        auto* mark = new QLabel(page);
        mark->setPixmap(KeyMarkIcon().pixmap(16, 16));
        keyLine->addWidget(mark);
        keyLine->addWidget(new QLabel(QStringLiteral("Есть закрытый ключ для этого сертификата."), page), 1);
        layout->addLayout(keyLine);
    }
    layout->addStretch(1);
    return page;
}

std::vector<std::pair<QString, QString>> DetailFields(const CertificateDescription& description)
{
    std::vector<std::pair<QString, QString>> fields = {
        {QStringLiteral("Версия"), Text(description.version)},
        {QStringLiteral("Серийный номер"), Text(description.serialHex)},
        {QStringLiteral("Алгоритм подписи"), Text(description.signatureAlgorithm)},
        {QStringLiteral("Издатель"), Text(description.issuer)},
        {QStringLiteral("Действителен с"), Text(description.validFrom)},
        {QStringLiteral("Действителен по"), Text(description.validTo)},
        {QStringLiteral("Субъект"), Text(description.subject)},
        {QStringLiteral("Открытый ключ"), Text(description.publicKeyAlgorithm)},
        {QStringLiteral("Параметры открытого ключа"), Text(description.publicKeyParameters)},
    };
    for (const auto& [name, value] : description.extensions)
        fields.emplace_back(Text(name), Text(value));
    fields.emplace_back(QStringLiteral("Отпечаток (SHA-1)"), Text(description.sha1Thumbprint));
    return fields;
}

QWidget* DetailsPage(const CertificateDescription& description)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("detailsPage"));
    auto* layout = new QVBoxLayout(page);

    auto* fields = new QTreeWidget(page);
    fields->setObjectName(QStringLiteral("detailFields"));
    fields->setRootIsDecorated(false);
    fields->setHeaderLabels({QStringLiteral("Поле"), QStringLiteral("Значение")});
    for (const auto& [name, value] : DetailFields(description)) {
        auto* item = new QTreeWidgetItem(fields);
        item->setText(0, name);
        // The list shows one line; the box below shows the whole value.
        item->setText(1, QString(value).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        item->setData(1, Qt::UserRole, value);
    }
    // Extension names can be long; the values need the room more.
    fields->resizeColumnToContents(0);
    fields->setColumnWidth(0, std::min(fields->columnWidth(0), 220));

    auto* value = new QPlainTextEdit(page);
    value->setObjectName(QStringLiteral("detailValue"));
    value->setReadOnly(true);
    value->setMaximumHeight(90);
    QObject::connect(fields, &QTreeWidget::currentItemChanged, value, [value](QTreeWidgetItem* item) {
        value->setPlainText(item != nullptr ? item->data(1, Qt::UserRole).toString() : QString());
    });
    fields->setCurrentItem(fields->topLevelItem(0));

    layout->addWidget(fields, 1);
    layout->addWidget(value);
    return page;
}

void ShowView(QWidget* parent, PCCERT_CONTEXT certificate, TrustPurpose purpose, const ShownTrust& trust)
{
    const CertificateDescription description = DescribeCertificate(certificate);
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("CertificateViewDialog"));
    dialog.setWindowTitle(QStringLiteral("Сертификат"));
    auto* tabs = new QTabWidget(&dialog);
    tabs->addTab(GeneralPage(description, trust), QStringLiteral("Общие"));
    tabs->addTab(DetailsPage(description), QStringLiteral("Состав"));
    // The certificate's own link keeps its purpose; its authorities sign certificates, not files.
    auto openLink = [&dialog, purpose](PCCERT_CONTEXT link, std::size_t depth) {
        ShowCertificateView(&dialog, link, depth == 0 ? purpose : TrustPurpose::AnyUse);
    };
    tabs->addTab(new CertificatePathPage(certificate, trust.outcome, openLink), QStringLiteral("Путь сертификации"));
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);

    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    dialog.resize(520, 480);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.exec();
}

} // namespace

void ShowCertificateView(QWidget* parent, PCCERT_CONTEXT certificate, TrustPurpose purpose)
{
    const TrustOutcome trust = CheckCertificateTrust(certificate, purpose);
    ShowView(parent, certificate, purpose, {trust, {}});
}

void ShowCertificateViewAt(QWidget* parent, PCCERT_CONTEXT certificate, const SignerTrust& provenTrust)
{
    const std::string takenAt = provenTrust.provenBy ? VerdictTimeWords(*provenTrust.provenBy) : std::string();
    ShowView(parent, certificate, TrustPurpose::Signing, {provenTrust.outcome, takenAt});
}

} // namespace ordalis
