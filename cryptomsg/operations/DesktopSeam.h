#pragma once

#include "cryptomsg/messages/ProvenTrust.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ordalis {

struct CERT_CONTEXT;
struct CertStore;

// What a notice says: plain information, or that something failed (a front-end
// without a window sends failures to standard error).
enum class NoticeKind { Info, Failure };

// One open-file dialog: its name, its filter ("Text|*.ext|..." or empty) and the
// name it returned last time, shown again when it opens.
struct OpenFileRequest {
    std::string dialogName;
    std::string filter;
    std::string lastName;
};

// A step that may take long: what is done ("Подпись файла"), to which file, and
// how many bytes it works through.
struct LongStep {
    std::string action;
    std::string file;
    std::uint64_t bytes = 0;
};

// How far a long step has come, where the step can tell. Safe on any thread.
class StepProgress {
public:
    virtual ~StepProgress() = default;
    virtual void setTotal(std::uint64_t total) = 0;
    virtual void setDone(std::uint64_t done) = 0;
};

// Everything modal or external that the operations need: dialogs, notices, the
// error box, the password prompt and the shell. The window implements it with Qt, the command line
// with the terminal, and the tests with a scripted fake.
class DesktopSeam : public PasswordPrompt {
public:
    virtual ~DesktopSeam() = default;

    // A full path, or nothing when the user cancelled.
    virtual std::optional<std::string> chooseOpenFile(const OpenFileRequest& request) = 0;
    virtual void showNotice(const std::string& text, NoticeKind kind = NoticeKind::Info) = 0;
    virtual void showError(const std::string& text) = 0;
    virtual void openFolder(const std::string& folder) = 0;

    // The certificate the user picked from the store (a new reference the caller
    // frees), or nullptr when the dialog was cancelled.
    virtual const CERT_CONTEXT* selectCertificate(CertStore* store, const std::string& title) = 0;
    // The same, for an operation that needs the certificate's private key
    // (signing): a desktop that can tell may show the certificates without one
    // but refuse them, saying why.
    virtual const CERT_CONTEXT* selectSigningCertificate(CertStore* store, const std::string& title)
    {
        return selectCertificate(store, title);
    }
    virtual void viewCertificate(const CERT_CONTEXT* certificate) = 0;
    // The certificate of a signer whose signature a valid timestamp dates, with
    // its trust judged at that time; a desktop that shows the trust says so.
    virtual void viewCertificateAt(const CERT_CONTEXT* certificate, const SignerTrust& provenTrust)
    {
        (void)provenTrust;
        viewCertificate(certificate);
    }

    // Tells the user that a long step runs (the window shows the busy cursor).
    virtual void setBusy(bool busy) { (void)busy; }

    // Runs work to its end and passes on what it throws. Here it simply runs;
    // the window runs it on a thread of its own while its event loop paints a
    // progress dialog, so work must not reach the user itself (a key's password
    // prompt is the exception: the window takes it to its own thread).
    virtual void runLongStep(const LongStep& step, const std::function<void(StepProgress&)>& work)
    {
        (void)step;
        class Unreported final : public StepProgress {
            void setTotal(std::uint64_t) override {}
            void setDone(std::uint64_t) override {}
        } unreported;
        work(unreported);
    }
};

} // namespace ordalis
