#include "tools/cli/Batch.h"

#include "common/Error.h"
#include "common/ErrorBoxText.h"
#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "common/SystemError.h"
#include "tools/cli/CertificateChoice.h"
#include "tools/cli/InputSize.h"
#include "tools/cli/LongTermOptions.h"
#include "tools/cli/ProgressLine.h"

#include <filesystem>
#include <new>
#include <ostream>

namespace ordalis::cli {

namespace {

std::string FullPath(const std::string& path)
{
    std::error_code ec;
    const auto full = path.empty() ? std::filesystem::path() : std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace

std::vector<Job> SingleFiles(const std::vector<std::string>& files)
{
    std::vector<Job> jobs;
    for (const auto& file : files)
        jobs.push_back({file, std::string()});
    return jobs;
}

Batch::Batch(const Verb& verb, bool json, Terminal& terminal)
    : m_verb(verb), m_json(json), m_terminal(terminal), m_desktop(terminal, json)
{
}

bool Batch::useCertificate(const std::optional<std::string>& id, bool needKey)
{
    std::string problem;
    CertContextPtr chosen = ChooseCertificate(id, needKey, m_terminal, problem);
    if (!chosen) {
        m_terminal.err << "ordalis-cli: " << problem << "\n";
        return false;
    }
    m_desktop.setCertificate(chosen.get());
    return true;
}

FileResult Batch::runOne(const Job& job, const FileRun& runFile)
{
    FileResult result{job.file, Outcome::Failed, {}};
    m_desktop.beginFile();
    SetLastError(0);
    ProgressLine progress(m_terminal, job.file, !m_json);
    try {
        // Full paths, as the window's slots hold them, so messages name files alike.
        const Job full{FullPath(job.file), FullPath(job.signature)};
        if (!m_anySize) {
            CheckInputSize(full.file);
            CheckInputSize(full.signature);
        }
        const OperationResult run = runFile(full, m_desktop);
        result.outputs = run.outputs;
        if (run.succeeded)
            result.outcome = Outcome::Succeeded;
        else if (!m_verb.summary.invalid.english.empty() && m_desktop.log().failures.empty())
            result.outcome = Outcome::Invalid;
    } catch (const InOutError& e) {
        SetLastError(static_cast<std::uint32_t>(e.code()));
        m_desktop.showError(ErrorBoxText(e.what()));
    } catch (const ServiceError& e) {
        SetLastError(0);
        m_desktop.showError(ServiceErrorText(e));
    } catch (const std::bad_alloc&) {
        SetLastError(codes::OutOfMemory);
        m_desktop.showError(ErrorBoxText(SystemErrorText(codes::OutOfMemory)));
    } catch (const std::exception& e) {
        SetLastError(0);
        m_desktop.showError(ErrorBoxText(e.what()));
    }
    return result;
}

int Batch::run(const std::vector<Job>& jobs, const FileRun& runFile)
{
    Tally tally;
    for (const Job& job : jobs) {
        const FileResult result = runOne(job, runFile);
        tally.add(result.outcome);
        if (m_json)
            m_terminal.out << JsonLine(result, m_desktop.log()) << '\n';
    }
    m_terminal.err << tally.summary(m_verb.summary) << '\n';
    m_terminal.out.flush();
    return tally.exitStatus();
}

} // namespace ordalis::cli
