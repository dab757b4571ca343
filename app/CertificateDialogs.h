#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/store/CertificateTrust.h"

#include <QString>

class QWidget;

namespace ordalis {

// What the chosen certificate is for: anything, or an operation that needs its
// private key, which refuses the certificates whose key the store lacks.
enum class CertificateUse { Any, WithPrivateKey };

// Lists the store's certificates sorted by whom they are issued to (issued to,
// organisation, issued by, valid until with expired and not yet valid ones
// marked, key algorithm, a key mark for those whose private key the store
// holds, with its legend), shows the whole subject, serial number and
// thumbprint of the selected one, with View, OK and Cancel; typing a name's
// first letters selects it. Returns a new reference to the chosen certificate,
// which the caller frees, or nullptr when the user cancelled. View and its
// errors go through desktop.
PCCERT_CONTEXT SelectCertificateFromStore(QWidget* parent, HCERTSTORE store, const QString& title, CertificateUse use,
                                          DesktopSeam& desktop);

// Shows one certificate: a General tab (whether it can be trusted for the
// purpose, with an icon; issued to, issued by, validity, whether its private
// key is at hand), a Details tab with every field, and its certification path,
// from which each link's own view opens. The path is built through the
// certificates of the store the certificate came from as well (for a verified
// signer: those its message carries).
void ShowCertificateView(QWidget* parent, PCCERT_CONTEXT certificate, TrustPurpose purpose = TrustPurpose::Signing);
// The same for a signer's certificate whose trust was judged at the time a
// signature timestamp proves; the status says so.
void ShowCertificateViewAt(QWidget* parent, PCCERT_CONTEXT certificate, const SignerTrust& provenTrust);

} // namespace ordalis
