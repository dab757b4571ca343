#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ordalis::cli {

enum class Verb { Sign, Verify, Encrypt, Decrypt };

struct CliOptions {
    Verb verb = Verb::Sign;
    std::vector<std::string> files;
    std::optional<std::string> certId;       // --cert
    std::optional<std::string> certFile;     // --cert-file
    std::optional<std::string> passwordFile; // --password-file
    bool attached = false;
    bool base64 = false;
    bool pack = false;
    bool json = false;
    bool help = false;
};

// Thrown for a command line that cannot be used; the message says why.
struct UsageError {
    std::string message;
};

// Parses the arguments after the program name. Throws UsageError.
CliOptions ParseCliOptions(const std::vector<std::string>& args);

// The help text of a verb (or of the program when verb is empty).
std::string HelpText(const std::string& verb);

} // namespace ordalis::cli
