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
    void viewCertificateAt(const CERT_CONTEXT* certificate, const SignerTrust& provenTrust) override;
    std::optional<std::string> askPassword(const std::string& what, int attempt) override;
    void setBusy(bool busy) override;
    void runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work) override;

    // Steps over fewer bytes than this run without the progress dialog.
    void setProgressThreshold(std::uint64_t bytes) { m_progressThreshold = bytes; }

private:
    class ModalCursor;

    QWidget* dialogParent() const;

    QString m_title;
    QPointer<QWidget> m_owner;
    int m_busyDepth = 0;
    // About a third of a second for the slowest GOST primitives.
    std::uint64_t m_progressThreshold = std::uint64_t{16} << 20;
};

} // namespace ordalis
