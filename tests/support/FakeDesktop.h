#pragma once

#include "cryptomsg/operations/DesktopSeam.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ordalis::test {

// A scripted desktop: dialogs answer from queues (an empty queue means the user
// cancelled) and every call is recorded in order as "kind: text".
class FakeDesktop : public DesktopSeam {
public:
    std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) override;
    void showNotice(const std::string& text, NoticeKind kind) override;
    void showError(const std::string& text) override;
    void openFolder(const std::string& folder) override;
    const CERT_CONTEXT* selectCertificate(CertStore* store, const std::string& title) override;
    void viewCertificate(const CERT_CONTEXT* certificate) override;
    std::optional<std::string> askPassword(const std::string& what, int attempt) override;
    // Records the step and runs it; on a thread of its own when longStepsOnAThread
    // is set, as the window does.
    void runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work) override;

    // Answers, consumed in order. std::nullopt is a cancel.
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::optional<std::string>> passwordAnswers;
    // Picks a certificate from the store by its position in the store's order;
    // std::nullopt (or an empty queue) cancels.
    std::deque<std::optional<int>> certificateAnswers;
    // Called by selectCertificate when set, instead of the queue.
    std::function<const CERT_CONTEXT*(CertStore*, const std::string&)> onSelectCertificate;

    std::vector<std::string> calls;   // everything, in order
    std::vector<std::string> notices; // notice texts
    std::vector<std::string> errors;  // error box texts
    std::vector<std::string> folders; // folders opened
    std::vector<OpenFileRequest> fileRequests;
    std::vector<std::string> certificateTitles;
    int viewedCertificates = 0;
    bool longStepsOnAThread = false;
    std::vector<std::string> longSteps;                      // "action: file (bytes)"
    std::vector<std::uint64_t> progressTotals, progressDone; // as the steps reported them
};

} // namespace ordalis::test
