#pragma once

#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/OperationTabs.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace ordalis {

class PathLabel;

// One of the window's open-file dialogs: its component name, its filter and
// the name it returned last time, which it shows again when it opens.
struct OpenDialogState {
    const char* name;
    const char* filter;
    std::string lastName;
};

// The main window: four tabs, one per operation, the six file-name slots and
// the handlers that fill them. Every handler runs inside a guard that shows an
// escaping error in the error box, so no exception reaches the event loop.
class TForm1 : public QWidget {
public:
    explicit TForm1(DesktopSeam& desktop, QWidget* parent = nullptr);
    ~TForm1() override;

    // What the operations read and reset, backed by this window's widgets.
    SignTab& signTab();
    VerifyTab& verifyTab();
    EncryptTab& encryptTab();
    DecryptTab& decryptTab();

    // Operations.
    void Button1Click(QObject* Sender);
    void Button3Click(QObject* Sender);
    void Button7Click(QObject* Sender);
    void Button9Click(QObject* Sender);

    // File selection.
    void Button2Click(QObject* Sender);
    void Button4Click(QObject* Sender);
    void Button5Click(QObject* Sender);
    void Button6Click(QObject* Sender);
    void Button8Click(QObject* Sender);
    void Button11Click(QObject* Sender);
    void CheckBox4Click(QObject* Sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class SignView;
    class VerifyView;
    class EncryptView;
    class DecryptView;

    void createControls();
    void createSignSheet();
    void createVerifySheet();
    void createEncryptSheet();
    void createDecryptSheet();
    void connectHandlers();
    void onClick(QPushButton* button, void (TForm1::*handler)(QObject*));
    void fitOuterBounds();

    template <class Handler>
    void guarded(Handler&& handler) noexcept;
    void showEscapedError(const char* message) noexcept;

    std::optional<std::string> runOpenDialog(OpenDialogState& dialog);
    void selectWithSizeCheck(OpenDialogState& dialog, std::string& slot, PathLabel* label, QPushButton* button);
    void selectWithoutSizeCheck(OpenDialogState& dialog, std::string& slot, PathLabel* label);

    DesktopSeam& m_desktop;
    bool m_outerBoundsFitted = false;

    // The file-name slots: a full path each, or empty.
    std::string FileToSign;
    std::string FileToVerify;
    std::string SignatureFile;
    std::string FileToEncrypt;
    std::string FileToDecrypt;
    std::string CertificateFile;

    OpenDialogState OpenDialog1{"OpenDialog1", "", {}};
    OpenDialogState OpenDialog2{"OpenDialog2", "", {}};
    OpenDialogState OpenDialog3{"OpenDialog3", "Signature|*.sig|PKCS7|*.p7s", {}};
    OpenDialogState OpenDialog4{"OpenDialog4", "", {}};
    OpenDialogState OpenDialog5{"OpenDialog5", "Зашифрованные файлы|*.enc", {}};
    OpenDialogState OpenDialog6{"OpenDialog6", "Certificate|*.cer", {}};

    // Children, owned by their Qt parents.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPushButton* Button6 = nullptr;
    QPushButton* Button7 = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button9 = nullptr;
    QPushButton* Button11 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;
    PathLabel* Label1 = nullptr;
    PathLabel* Label2 = nullptr;
    PathLabel* Label3 = nullptr;
    PathLabel* Label4 = nullptr;
    PathLabel* Label5 = nullptr;
    PathLabel* Label6 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

    std::unique_ptr<SignView> m_signView;
    std::unique_ptr<VerifyView> m_verifyView;
    std::unique_ptr<EncryptView> m_encryptView;
    std::unique_ptr<DecryptView> m_decryptView;
};

} // namespace ordalis
