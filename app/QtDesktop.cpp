#include "app/QtDesktop.h"

#include "app/CertificateDialogs.h"
#include "app/FileFilter.h"
#include "app/MessageBoxes.h"
#include "app/ProgressDialog.h"
#include "common/UserTexts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QUrl>

namespace ordalis {

// While a dialog waits for the user during a busy operation, the pointer is
// the ordinary arrow again.
class QtDesktop::ModalCursor {
public:
    explicit ModalCursor(const QtDesktop& desktop) : m_active(desktop.m_busyDepth > 0)
    {
        if (m_active)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ModalCursor(const ModalCursor&) = delete;
    ModalCursor& operator=(const ModalCursor&) = delete;
    ~ModalCursor()
    {
        if (m_active)
            QApplication::restoreOverrideCursor();
    }

private:
    bool m_active;
};

QtDesktop::QtDesktop(QString title) : m_title(std::move(title)) {}

void QtDesktop::setOwner(QWidget* owner) { m_owner = owner; }

QWidget* QtDesktop::dialogParent() const
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return m_owner;
}

std::optional<std::string> QtDesktop::chooseOpenFile(const OpenFileRequest& request)
{
    ModalCursor cursor(*this);
    QFileDialog dialog(dialogParent());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name of a file that does not exist is returned as well.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.first());
    }
    if (!request.lastName.empty())
        dialog.selectFile(QString::fromStdString(request.lastName));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return files.first().toStdString();
}

void QtDesktop::showNotice(const std::string& text, NoticeKind)
{
    ModalCursor cursor(*this);
    ShowNoticeBox(dialogParent(), m_title, QString::fromStdString(text));
}

void QtDesktop::showError(const std::string& text)
{
    ModalCursor cursor(*this);
    ShowErrorBox(dialogParent(), m_title, QString::fromStdString(text));
}

void QtDesktop::openFolder(const std::string& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

const CERT_CONTEXT* QtDesktop::selectCertificate(CertStore* store, const std::string& title)
{
    ModalCursor cursor(*this);
    return SelectCertificateFromStore(dialogParent(), store, QString::fromStdString(title), CertificateUse::Any, *this);
}

const CERT_CONTEXT* QtDesktop::selectSigningCertificate(CertStore* store, const std::string& title)
{
    ModalCursor cursor(*this);
    return SelectCertificateFromStore(dialogParent(), store, QString::fromStdString(title),
                                      CertificateUse::WithPrivateKey, *this);
}

void QtDesktop::viewCertificate(const CERT_CONTEXT* certificate)
{
    ModalCursor cursor(*this);
    ShowCertificateView(dialogParent(), certificate);
}

void QtDesktop::viewCertificateAt(const CERT_CONTEXT* certificate, const SignerTrust& provenTrust)
{
    ModalCursor cursor(*this);
    ShowCertificateViewAt(dialogParent(), certificate, provenTrust);
}

std::optional<std::string> QtDesktop::askPassword(const std::string& what, int attempt)
{
    ModalCursor cursor(*this);
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(m_title);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setLabelText(QString::fromStdString(texts::KeyPasswordQuestion(what, attempt)) + QLatin1Char(':'));
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText); // a certificate's name is never markup
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Отмена"));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QString password = dialog.textValue();
    std::string result = password.toStdString();
    password.fill(QChar(u'\0')); // the dialog's own copy goes with it
    return result;
}

void QtDesktop::runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work)
{
    // What a dialog just closed covered is painted again before the work starts.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (step.bytes < m_progressThreshold) {
        DesktopSeam::runLongStep(step, work);
        return;
    }
    RunBehindProgressDialog(dialogParent(), m_title, step, work, *this);
}

void QtDesktop::setBusy(bool busy)
{
    if (busy) {
        if (m_busyDepth++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_busyDepth > 0 && --m_busyDepth == 0) {
        QApplication::restoreOverrideCursor();
    }
}

} // namespace ordalis
