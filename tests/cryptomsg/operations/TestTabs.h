#pragma once

// Tabs for driving the operations without the window: plain state that a test
// sets up and inspects afterwards.

#include "cryptomsg/operations/OperationTabs.h"

#include <string>
#include <vector>

namespace ordalis::test {

struct TestSignTab : SignTab {
    std::string file;
    bool label = true, button = true;
    bool pack = false, base64 = false, attached = false;

    std::string fileToSign() const override { return file; }
    void clearFileToSign() override { file.clear(), label = false, button = false; }
    bool packChecked() const override { return pack; }
    bool base64Checked() const override { return base64; }
    bool attachedChecked() const override { return attached; }
    void uncheckPack() override { pack = false; }
    void uncheckBase64() override { base64 = false; }
    void uncheckAttached() override { attached = false; }
};

struct TestVerifyTab : VerifyTab {
    std::string file, signature;
    std::vector<std::string> report{"Memo1"};
    bool reset = false;

    std::string fileToVerify() const override { return file; }
    std::string signatureFile() const override { return signature; }
    void clearReport() override { report.clear(); }
    void appendReportLine(const std::string& line) override { report.push_back(line); }
    void resetSelection() override { file.clear(), signature.clear(), reset = true; }
};

struct TestEncryptTab : EncryptTab {
    std::string file, certificate;
    bool fromFile = false;
    bool fileLabel = true, encryptButton = true, controlsReset = false;

    std::string fileToEncrypt() const override { return file; }
    std::string certificateFile() const override { return certificate; }
    bool certificateFromFileChecked() const override { return fromFile; }
    void clearFileToEncrypt() override { file.clear(); }
    void clearCertificateFile() override { certificate.clear(); }
    void clearFileLabel() override { fileLabel = false; }
    void disableEncryptButton() override { encryptButton = false; }
    void resetControls() override { fileLabel = false, encryptButton = false, fromFile = false, controlsReset = true; }
};

struct TestDecryptTab : DecryptTab {
    std::string file;
    bool reset = false;

    std::string fileToDecrypt() const override { return file; }
    void resetSelection() override { file.clear(), reset = true; }
};

} // namespace ordalis::test
