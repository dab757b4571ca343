#pragma once

#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"

#include <QString>

class QWidget;

namespace ordalis {

// Lists the store's certificates (issued to, issued by, valid until, key
// algorithm, a key mark for those whose private key the store holds) with View,
// OK and Cancel. Returns a new reference to the chosen certificate, which the
// caller frees, or nullptr when the user cancelled. View and its errors go
// through desktop.
PCCERT_CONTEXT SelectCertificateFromStore(QWidget* parent, HCERTSTORE store, const QString& title,
                                          DesktopSeam& desktop);

// Shows one certificate: a General tab (issued to, issued by, validity, whether
// its private key is at hand) and a Details tab with every field.
void ShowCertificateView(QWidget* parent, PCCERT_CONTEXT certificate);

} // namespace ordalis
