#include "cryptomsg/store/PasswordAttempts.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

namespace ordalis {

namespace {

void Wipe(std::string& text) { OPENSSL_cleanse(text.data(), text.capacity()); }

} // namespace

SecretText::~SecretText() { Wipe(m_text); }

void SecretText::take(std::string& answer)
{
    Wipe(m_text);
    m_text.swap(answer);
    Wipe(answer);
}

PasswordOutcome AskUntilOpen(const PasswordSource& source, const std::string& what,
                             const std::function<KeyOpen(const std::string& password)>& tryOpen, SecretText& accepted)
{
    for (int attempt = 1; attempt <= kPasswordAttempts; ++attempt) {
        std::optional<std::string> answer = source ? source(what, attempt) : std::nullopt;
        if (!answer)
            return PasswordOutcome::Cancelled;
        accepted.take(*answer);
        switch (tryOpen(accepted.text())) {
        case KeyOpen::Ok: return PasswordOutcome::Opened;
        case KeyOpen::Failed: return PasswordOutcome::Failed;
        case KeyOpen::WrongPassword: ERR_clear_error(); break;
        }
    }
    return PasswordOutcome::WrongEveryTime;
}

} // namespace ordalis
