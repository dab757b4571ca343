#pragma once

// The window's side of the operations' tab interfaces. Each view reads and
// resets one tab's slots and controls, painting every change at once.

#include "app/TForm1.h"

namespace ordalis {

class TForm1::SignView final : public SignTab {
public:
    explicit SignView(TForm1& form) : m_form(form) {}
    std::string fileToSign() const override;
    void clearFileToSign() override;
    bool packChecked() const override;
    bool base64Checked() const override;
    bool attachedChecked() const override;
    void uncheckPack() override;
    void uncheckBase64() override;
    void uncheckAttached() override;

private:
    TForm1& m_form;
};

class TForm1::VerifyView final : public VerifyTab {
public:
    explicit VerifyView(TForm1& form) : m_form(form) {}
    std::string fileToVerify() const override;
    std::string signatureFile() const override;
    void clearReport() override;
    void appendReportLine(const std::string& line) override;
    void resetSelection() override;

private:
    TForm1& m_form;
};

class TForm1::EncryptView final : public EncryptTab {
public:
    explicit EncryptView(TForm1& form) : m_form(form) {}
    std::string fileToEncrypt() const override;
    std::string certificateFile() const override;
    bool certificateFromFileChecked() const override;
    void clearFileToEncrypt() override;
    void clearCertificateFile() override;
    void clearFileLabel() override;
    void disableEncryptButton() override;
    void resetControls() override;

private:
    TForm1& m_form;
};

class TForm1::DecryptView final : public DecryptTab {
public:
    explicit DecryptView(TForm1& form) : m_form(form) {}
    std::string fileToDecrypt() const override;
    void resetSelection() override;

private:
    TForm1& m_form;
};

} // namespace ordalis
