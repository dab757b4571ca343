#pragma once

// The rows of the certificate selection list: one per certificate, with its
// columns, marks, tooltips and sort keys.

#include "app/CertificateDialogs.h"

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace ordalis {

enum CertificateColumn { kIssuedTo, kOrganisation, kIssuedBy, kValidTo, kKeyAlgorithm, kKeyMark, kColumnCount };

QStringList CertificateColumnTitles();

// Adds the row of the certificate at index in the dialog's list.
QTreeWidgetItem* AddCertificateRow(QTreeWidget* list, PCCERT_CONTEXT certificate, int index, CertificateUse use);

// The index given to AddCertificateRow.
int CertificateIndexOf(const QTreeWidgetItem* row);
// Whether the row may be chosen for the use; when not, why not.
bool RowCanBeChosen(const QTreeWidgetItem* row);
QString RowRefusal(const QTreeWidgetItem* row);
// The whole subject, serial number and thumbprint, one per line.
QString RowDetails(const QTreeWidgetItem* row);

} // namespace ordalis
