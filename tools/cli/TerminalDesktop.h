#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "tools/common/Secret.h"
#include "tools/common/Terminal.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ordalis::cli {

using tools::Terminal;

// The desktop seam of the command line: notices and report lines go to standard
// output (or, with --json, into the file's result), failures and errors to
// standard error, the certificate dialog answers with the certificate named on
// the command line, and opening a folder does nothing.
class TerminalDesktop : public DesktopSeam {
public:
    TerminalDesktop(Terminal& terminal, bool json);

    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
    void showNotice(const std::string& text, NoticeKind kind) override;
    void showError(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    const CERT_CONTEXT* selectCertificate(CertStore* store, const std::string& title) override;
    void viewCertificate(const CERT_CONTEXT* certificate) override;
    std::optional<std::string> askPassword(const std::string& what, int attempt) override;
    // Shows how far a step on a large file has come, on a terminal and without --json.
    void runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work) override;

    // The certificate the dialog answers with (a reference is kept).
    void setCertificate(PCCERT_CONTEXT certificate);
    // A password given in a file: used for every key, never asked again when wrong.
    void setPasswordFromFile(const tools::Secret& password);

    // What happened to the current file, for its result line.
    struct FileLog {
        std::vector<std::string> lines;    // notices and report lines
        std::vector<std::string> failures; // failure notices and errors
        std::uint32_t failureCode = 0;
        std::string jsonFields; // more fields of the --json line, each with its leading comma
    };
    void beginFile() { m_log = {}; }
    const FileLog& log() const { return m_log; }
    void reportLine(const std::string& line);
    // A line after the report (the details); not part of the --json line's messages.
    void detailLine(const std::string& line);
    void addJsonFields(const std::string& fields) { m_log.jsonFields += fields; }
    // Why a file's outcome is not a success, where the report lines do not say it; to standard
    // error, and not a failure of the file (the --json fields carry it).
    void explanationLine(const std::string& line);

private:
    Terminal& m_terminal;
    bool m_json;
    CertContextPtr m_certificate;
    // Kept for the whole batch and wiped when it ends; the key's reader wipes each copy it is handed.
    std::optional<tools::Secret> m_filePassword;
    std::map<std::string, tools::Secret> m_passwords; // asked once per key
    FileLog m_log;
};

} // namespace ordalis::cli
