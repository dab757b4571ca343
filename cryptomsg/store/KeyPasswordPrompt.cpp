#include "cryptomsg/store/KeyPasswordPrompt.h"

namespace ordalis {

namespace {
thread_local PasswordPrompt* t_prompt = nullptr;
}

ScopedPasswordPrompt::ScopedPasswordPrompt(PasswordPrompt& prompt) : m_previous(t_prompt) { t_prompt = &prompt; }
ScopedPasswordPrompt::~ScopedPasswordPrompt() { t_prompt = m_previous; }
PasswordPrompt* ScopedPasswordPrompt::current() { return t_prompt; }

} // namespace ordalis
