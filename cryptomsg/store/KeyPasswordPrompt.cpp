#include "cryptomsg/store/KeyPasswordPrompt.h"

namespace ordalis {

namespace {
thread_local DesktopSeam* t_prompt = nullptr;
}

ScopedPasswordPrompt::ScopedPasswordPrompt(DesktopSeam& seam) : m_previous(t_prompt) { t_prompt = &seam; }
ScopedPasswordPrompt::~ScopedPasswordPrompt() { t_prompt = m_previous; }
DesktopSeam* ScopedPasswordPrompt::current() { return t_prompt; }

} // namespace ordalis
