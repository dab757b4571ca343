#pragma once

#include "cryptomsg/operations/DesktopSeam.h"

#include <QPointer>
#include <QString>
#include <QWidget>

namespace ordalis {

// The desktop seam with Qt: open-file, certificate and password dialogs,
// notices and the error box, all modal for the whole application and kept
// above the main window (or above the dialog that is open), and the file
// manager for folders.
class QtDesktop final : public DesktopSeam {
public:
    // title: the caption of notices, error boxes and the password prompt.
    explicit QtDesktop(QString title);

    // The main window, parent of every dialog when no other dialog is open.
    void setOwner(QWidget* owner);

    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
    void showNotice(const std::string& text, NoticeKind kind) override;
    void showError(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    const CERT_CONTEXT* selectCertificate(CertStore* store, const std::string& title) override;
    const CERT_CONTEXT* selectSigningCertificate(CertStore* store, const std::string& title) override;
    void viewCertificate(const CERT_CONTEXT* certificate) override;
    std::optional<std::string> askPassword(const std::string& what, int attempt) override;
    void setBusy(bool busy) override;

private:
    class ModalCursor;

    QWidget* dialogParent() const;

    QString m_title;
    QPointer<QWidget> m_owner;
    int m_busyDepth = 0;
};

} // namespace ordalis
