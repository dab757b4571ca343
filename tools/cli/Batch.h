#pragma once

#include "cryptomsg/operations/Operations.h"
#include "tools/cli/BatchReport.h"
#include "tools/cli/TerminalDesktop.h"
#include "tools/cli/Verbs.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordalis::cli {

// A file of the batch and, for verify, its signature (else empty).
struct Job {
    std::string file, signature;
};

// Each file alone, without a signature.
std::vector<Job> SingleFiles(const std::vector<std::string>& files);

// One run of a verb over its files: the desktop seam the operations talk to,
// each file's outcome and result line, and the summary.
class Batch {
public:
    Batch(const Verb& verb, bool json, Terminal& terminal);

    TerminalDesktop& desktop() { return m_desktop; }
    Terminal& terminal() { return m_terminal; }

    // Makes the certificate dialog answer with the certificate --cert names
    // (or, without one, that the user picks). False, having said why, when none.
    bool useCertificate(const std::optional<std::string>& id, bool needKey);

    // Runs one operation on a file and its signature, named in full.
    using FileRun = std::function<OperationResult(const Job& job, TerminalDesktop& desktop)>;
    // Runs every job, writes the summary and returns the exit status.
    int run(const std::vector<Job>& jobs, const FileRun& runFile);

    // The verb reads its files as it goes, so they may be of any size.
    void acceptAnySize() { m_anySize = true; }

private:
    FileResult runOne(const Job& job, const FileRun& runFile);

    const Verb& m_verb;
    bool m_json;
    Terminal& m_terminal;
    TerminalDesktop m_desktop;
    bool m_anySize = false;
};

} // namespace ordalis::cli
