#include "app/TForm1Views.h"

#include "app/ControlUpdate.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace ordalis {

// --- Signing tab ------------------------------------------------------------

std::string TForm1::SignView::fileToSign() const { return m_form.FileToSign; }

void TForm1::SignView::clearFileToSign()
{
    m_form.FileToSign.clear();
    SetCaptionNow(m_form.Label2, {});
    SetEnabledNow(m_form.Button1, false);
}

bool TForm1::SignView::packChecked() const { return m_form.CheckBox1->isChecked(); }
bool TForm1::SignView::base64Checked() const { return m_form.CheckBox2->isChecked(); }
bool TForm1::SignView::attachedChecked() const { return m_form.CheckBox3->isChecked(); }
void TForm1::SignView::uncheckPack() { SetCheckedNow(m_form.CheckBox1, false); }
void TForm1::SignView::uncheckBase64() { SetCheckedNow(m_form.CheckBox2, false); }
void TForm1::SignView::uncheckAttached() { SetCheckedNow(m_form.CheckBox3, false); }

// --- Verification tab -------------------------------------------------------

std::string TForm1::VerifyView::fileToVerify() const { return m_form.FileToVerify; }
std::string TForm1::VerifyView::signatureFile() const { return m_form.SignatureFile; }

void TForm1::VerifyView::clearReport() { m_form.Memo1->clear(); }

void TForm1::VerifyView::appendReportLine(const std::string& line)
{
    m_form.Memo1->appendPlainText(QString::fromStdString(line));
}

void TForm1::VerifyView::resetSelection()
{
    SetCaptionNow(m_form.Label1, {});
    SetCaptionNow(m_form.Label3, {});
    m_form.FileToVerify.clear();
    m_form.SignatureFile.clear();
    SetEnabledNow(m_form.Button3, false);
}

// --- Encryption tab ---------------------------------------------------------

std::string TForm1::EncryptView::fileToEncrypt() const { return m_form.FileToEncrypt; }
std::string TForm1::EncryptView::certificateFile() const { return m_form.CertificateFile; }
bool TForm1::EncryptView::certificateFromFileChecked() const { return m_form.CheckBox4->isChecked(); }
void TForm1::EncryptView::clearFileToEncrypt() { m_form.FileToEncrypt.clear(); }
void TForm1::EncryptView::clearCertificateFile() { m_form.CertificateFile.clear(); }
void TForm1::EncryptView::clearFileLabel() { SetCaptionNow(m_form.Label4, {}); }
void TForm1::EncryptView::disableEncryptButton() { SetEnabledNow(m_form.Button7, false); }

void TForm1::EncryptView::resetControls()
{
    SetCaptionNow(m_form.Label4, {});
    SetCaptionNow(m_form.Label6, {});
    SetEnabledNow(m_form.Button7, false);
    SetCheckedNow(m_form.CheckBox4, false); // its handler follows the change
    SetEnabledNow(m_form.Button11, false);
}

// --- Decryption tab ---------------------------------------------------------

std::string TForm1::DecryptView::fileToDecrypt() const { return m_form.FileToDecrypt; }

void TForm1::DecryptView::resetSelection()
{
    m_form.FileToDecrypt.clear();
    SetCaptionNow(m_form.Label5, {});
    SetEnabledNow(m_form.Button9, false);
}

} // namespace ordalis
