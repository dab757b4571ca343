#include "tools/cli/TerminalDesktop.h"

#include "common/LastError.h"
#include "common/UserTexts.h"
#include "tools/cli/ProgressLine.h"

#include <ostream>

namespace ordalis::cli {

TerminalDesktop::TerminalDesktop(Terminal& terminal, bool json) : m_terminal(terminal), m_json(json) {}

std::optional<std::string> TerminalDesktop::chooseOpenFile(const OpenFileRequest&) { return std::nullopt; }

void TerminalDesktop::reportLine(const std::string& line)
{
    m_log.lines.push_back(line);
    if (!m_json)
        m_terminal.out << line << '\n';
}

void TerminalDesktop::detailLine(const std::string& line)
{
    if (!m_json)
        m_terminal.out << line << '\n';
}

void TerminalDesktop::explanationLine(const std::string& line)
{
    if (!m_json)
        m_terminal.err << line << '\n';
}

void TerminalDesktop::showNotice(const std::string& text, NoticeKind kind)
{
    if (kind == NoticeKind::Info) {
        reportLine(text);
        return;
    }
    m_log.failures.push_back(text);
    m_log.failureCode = GetLastError();
    if (!m_json)
        m_terminal.err << text << '\n';
}

void TerminalDesktop::showError(const std::string& text)
{
    m_log.failures.push_back(text);
    if (!m_json)
        m_terminal.err << text << '\n';
}

void TerminalDesktop::openFolder(const std::string&) {}

void TerminalDesktop::runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work)
{
    // The line is erased by the file's ProgressLine once the file is done.
    const auto threshold = static_cast<std::uint64_t>(ProgressLine::kThreshold);
    TerminalProgress progress(m_terminal, step.file, !m_json && step.bytes >= threshold);
    work(progress);
}

const CERT_CONTEXT* TerminalDesktop::selectCertificate(CertStore*, const std::string&)
{
    return CertDuplicateCertificateContext(m_certificate.get());
}

void TerminalDesktop::viewCertificate(const CERT_CONTEXT*) {}

void TerminalDesktop::setCertificate(PCCERT_CONTEXT certificate)
{
    m_certificate.reset(CertDuplicateCertificateContext(certificate));
}

void TerminalDesktop::setPasswordFromFile(const tools::Secret& password) { m_filePassword.emplace(password); }

std::optional<std::string> TerminalDesktop::askPassword(const std::string& what, int attempt)
{
    if (m_filePassword)
        return attempt == 1 ? std::optional<std::string>(m_filePassword->text()) : std::nullopt;
    if (attempt == 1) {
        if (const auto known = m_passwords.find(what); known != m_passwords.end())
            return known->second.text();
    }
    if (!m_terminal.interactive || !m_terminal.readSecret)
        return std::nullopt;
    const std::string prompt = texts::KeyPasswordQuestion(what, attempt) + ": ";
    std::optional<std::string> typed = m_terminal.readSecret(prompt);
    if (!typed)
        return std::nullopt;
    // Moved into the cache, which wipes what the typed string kept; the caller gets a copy.
    m_passwords.erase(what);
    return m_passwords.try_emplace(what, std::move(*typed)).first->second.text();
}

} // namespace ordalis::cli
