#pragma once

// The operations' tabs for one file of a command-line batch: the "slots" hold
// the file and the options, and the resets only affect this one run.

#include "cryptomsg/operations/OperationTabs.h"
#include "tools/cli/TerminalDesktop.h"

#include <optional>

namespace ordalis::cli {

class CliSignTab : public SignTab {
public:
    CliSignTab(std::string file, bool pack, bool base64, bool attached)
        : m_file(std::move(file)), m_pack(pack), m_base64(base64), m_attached(attached)
    {
    }
    std::string fileToSign() const override { return m_file; }
    void clearFileToSign() override { m_file.clear(); }
    bool packChecked() const override { return m_pack; }
    bool base64Checked() const override { return m_base64; }
    bool attachedChecked() const override { return m_attached; }
    void uncheckPack() override { m_pack = false; }
    void uncheckBase64() override { m_base64 = false; }
    void uncheckAttached() override { m_attached = false; }

    bool signsStreamed() const override { return true; }

private:
    std::string m_file;
    bool m_pack, m_base64, m_attached;
};

class CliVerifyTab : public VerifyTab {
public:
    CliVerifyTab(std::string file, std::string signature, TerminalDesktop& desktop)
        : m_file(std::move(file)), m_signature(std::move(signature)), m_desktop(desktop)
    {
    }
    std::string fileToVerify() const override { return m_file; }
    std::string signatureFile() const override { return m_signature; }
    void clearReport() override {}
    void appendReportLine(const std::string& line) override { m_desktop.reportLine(line); }
    void resetSelection() override {}

private:
    std::string m_file, m_signature;
    TerminalDesktop& m_desktop;
};

class CliEncryptTab : public EncryptTab {
public:
    CliEncryptTab(std::string file, std::string certificateFile)
        : m_file(std::move(file)), m_certificateFile(std::move(certificateFile)), m_fromFile(!m_certificateFile.empty())
    {
    }
    std::string fileToEncrypt() const override { return m_file; }
    std::string certificateFile() const override { return m_certificateFile; }
    bool certificateFromFileChecked() const override { return m_fromFile; }
    void clearFileToEncrypt() override {}
    void clearCertificateFile() override {}
    void clearFileLabel() override {}
    void disableEncryptButton() override {}
    void resetControls() override {}

private:
    std::string m_file, m_certificateFile;
    bool m_fromFile;
};

class CliDecryptTab : public DecryptTab {
public:
    explicit CliDecryptTab(std::string file) : m_file(std::move(file)) {}
    std::string fileToDecrypt() const override { return m_file; }
    void resetSelection() override {}
    bool readsPemArmour() const override { return true; }
    bool decryptsStreamed() const override { return true; }
    void senderCertificateMissing(const OriginatorName& sender) override { m_missingSender = sender; }

    // The sender's certificate the envelope needed and nobody had, when that is why it failed.
    const std::optional<OriginatorName>& missingSender() const { return m_missingSender; }

private:
    std::string m_file;
    std::optional<OriginatorName> m_missingSender;
};

} // namespace ordalis::cli
