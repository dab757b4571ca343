#pragma once

#include <optional>
#include <string>

namespace ordalis {

// Whoever can ask the user for the password of a protected private key.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;

    // The password for what; nothing when the user cancelled. attempt counts
    // from 1, so a prompt can say that the last one was wrong.
    virtual std::optional<std::string> askPassword(const std::string& what, int attempt) = 0;
};

// While it lives, protected private keys acquired on this thread ask the given
// prompt for their password; without one they cannot be opened.
class ScopedPasswordPrompt {
public:
    explicit ScopedPasswordPrompt(PasswordPrompt& prompt);
    ScopedPasswordPrompt(const ScopedPasswordPrompt&) = delete;
    ScopedPasswordPrompt& operator=(const ScopedPasswordPrompt&) = delete;
    ~ScopedPasswordPrompt();

    // The prompt in force on this thread, or null.
    static PasswordPrompt* current();

private:
    PasswordPrompt* m_previous;
};

} // namespace ordalis
