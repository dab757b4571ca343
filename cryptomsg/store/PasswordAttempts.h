#pragma once

#include "cryptomsg/store/StoreFileFormats.h"

#include <functional>
#include <optional>
#include <string>

namespace ordalis {

// Asks for the password of what is being opened; attempt counts from 1.
// Nothing means the user cancelled.
using PasswordSource = std::function<std::optional<std::string>(const std::string& what, int attempt)>;

// How many passwords a protected key or bundle is tried with before giving up.
inline constexpr int kPasswordAttempts = 3;

// A password kept while it is needed and wiped when it goes.
class SecretText {
public:
    SecretText() = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText();

    const std::string& text() const { return m_text; }
    // Takes the answer's characters, wiping what this held and what the answer leaves behind.
    void take(std::string& answer);

private:
    std::string m_text;
};

enum class PasswordOutcome {
    Opened,
    Cancelled,      // the source gave no answer
    Failed,         // tryOpen failed for another reason than the password; OpenSSL's errors are kept
    WrongEveryTime, // every attempt was refused as a wrong password
};

// Asks source for what's password until tryOpen opens with it, kPasswordAttempts
// times at most. accepted holds the password last tried (the one that opened,
// on Opened); each earlier one is wiped as the next arrives.
PasswordOutcome AskUntilOpen(const PasswordSource& source, const std::string& what,
                             const std::function<KeyOpen(const std::string& password)>& tryOpen, SecretText& accepted);

} // namespace ordalis
