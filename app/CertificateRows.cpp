#include "app/CertificateRows.h"

#include "app/KeyMark.h"
#include "cryptomsg/store/CertificateDescription.h"

#include <QApplication>
#include <QDateTime>
#include <QPalette>
#include <QTreeWidget>

namespace ordalis {

namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kRefusalRole = Qt::UserRole + 2;
constexpr int kDetailsRole = Qt::UserRole + 3;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Sorts by its sort key where it has one (dates, names with their tie-breakers).
class CertificateRow : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, kSortRole), theirs = other.data(column, kSortRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toString() < theirs.toString();
        return text(column).localeAwareCompare(other.text(column)) < 0;
    }
};

// "dd.MM.yyyy HH:mm:ss UTC" as a key that sorts in time order.
QString DateKey(const std::string& text)
{
    const QDateTime time = QDateTime::fromString(Text(text).chopped(4), QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    return time.isValid() ? time.toString(QStringLiteral("yyyyMMddHHmmss")) : QString();
}

void MarkValidity(QTreeWidgetItem* row, PCCERT_CONTEXT certificate)
{
    const LONG validity = CertVerifyTimeValidity(nullptr, certificate->pCertInfo);
    if (validity == 0)
        return;
    const bool expired = validity > 0;
    const QString mark = expired ? QStringLiteral(" (истёк)") : QStringLiteral(" (ещё не действует)");
    row->setText(kValidTo, row->text(kValidTo) + mark);
    row->setToolTip(kValidTo, expired ? QStringLiteral("Срок действия сертификата истёк")
                                      : QStringLiteral("Срок действия сертификата ещё не начался"));
    row->setForeground(kValidTo, QColor(0xb0, 0x00, 0x00));
}

void MarkKey(QTreeWidgetItem* row, bool hasPrivateKey, CertificateUse use)
{
    if (hasPrivateKey) {
        row->setIcon(kKeyMark, KeyMarkIcon());
        row->setToolTip(kKeyMark, QStringLiteral("Есть закрытый ключ"));
        return;
    }
    row->setToolTip(kKeyMark, QStringLiteral("Нет закрытого ключа"));
    if (use != CertificateUse::WithPrivateKey)
        return;
    const QString refusal = QStringLiteral("Нет закрытого ключа этого сертификата: подписать им нельзя");
    row->setData(kIssuedTo, kRefusalRole, refusal);
    const QBrush grey = QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    for (int column = 0; column < kColumnCount; ++column) {
        row->setForeground(column, grey);
        if (row->toolTip(column).isEmpty() || column == kKeyMark)
            row->setToolTip(column, refusal);
    }
}

} // namespace

QStringList CertificateColumnTitles()
{
    return {QStringLiteral("Кому выдан"),      QStringLiteral("Организация"),    QStringLiteral("Кем выдан"),
            QStringLiteral("Действителен по"), QStringLiteral("Алгоритм ключа"), QStringLiteral("Ключ")};
}

QTreeWidgetItem* AddCertificateRow(QTreeWidget* list, PCCERT_CONTEXT certificate, int index, CertificateUse use)
{
    const CertificateDescription d = DescribeCertificate(certificate);
    auto* row = new CertificateRow(list);
    row->setText(kIssuedTo, Text(d.issuedTo));
    row->setText(kOrganisation, Text(d.organisation));
    row->setText(kIssuedBy, Text(d.issuedBy));
    row->setText(kValidTo, Text(d.validTo));
    row->setText(kKeyAlgorithm, Text(d.keyAlgorithm));
    row->setData(kIssuedTo, kIndexRole, index);
    // Look-alike names sort by organisation, then the newest first.
    const QString validTo = DateKey(d.validTo);
    row->setData(kValidTo, kSortRole, validTo);
    row->setData(kIssuedTo, kSortRole,
                 Text(d.issuedTo).toCaseFolded() + QChar(1) + Text(d.organisation).toCaseFolded() + QChar(1) +
                     QString::number(99999999999999LL - validTo.toLongLong()));
    row->setData(kIssuedTo, kDetailsRole,
                 QStringLiteral("Субъект: ") + Text(d.subject) + QStringLiteral("\nСерийный номер: ") +
                     Text(d.serialHex) + QStringLiteral("\nОтпечаток SHA-1: ") + Text(d.sha1Thumbprint));
    MarkValidity(row, certificate);
    MarkKey(row, d.hasPrivateKey, use);
    return row;
}

int CertificateIndexOf(const QTreeWidgetItem* row) { return row->data(kIssuedTo, kIndexRole).toInt(); }
bool RowCanBeChosen(const QTreeWidgetItem* row) { return RowRefusal(row).isEmpty(); }
QString RowRefusal(const QTreeWidgetItem* row) { return row->data(kIssuedTo, kRefusalRole).toString(); }
QString RowDetails(const QTreeWidgetItem* row) { return row->data(kIssuedTo, kDetailsRole).toString(); }

} // namespace ordalis
