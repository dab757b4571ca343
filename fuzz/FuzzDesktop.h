#pragma once

// A desktop for the targets that run operations: no dialogs, and a password
// prompt that answers "fuzz", then "", then cancels (the passwords the seed
// bundles and keys are made with).

#include "cryptomsg/operations/DesktopSeam.h"

#include <optional>
#include <string>

namespace ordalis::fuzz {

inline std::optional<std::string> SeedPassword(int attempt)
{
    if (attempt == 1)
        return std::string("fuzz");
    if (attempt == 2)
        return std::string();
    return std::nullopt;
}

class FuzzDesktop : public DesktopSeam {
public:
    std::optional<std::string> chooseOpenFile(const OpenFileRequest&) override { return std::nullopt; }
    void showNotice(const std::string&, NoticeKind) override {}
    void showError(const std::string&) override {}
    void openFolder(const std::string&) override {}
    const CERT_CONTEXT* selectCertificate(CertStore*, const std::string&) override { return nullptr; }
    void viewCertificate(const CERT_CONTEXT* certificate) override { viewed = certificate; }
    std::optional<std::string> askPassword(const std::string&, int attempt) override { return SeedPassword(attempt); }

    const CERT_CONTEXT* viewed = nullptr;
};

} // namespace ordalis::fuzz
