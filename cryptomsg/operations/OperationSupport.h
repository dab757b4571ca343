#pragma once

// Small pieces shared by the four operations.

#include <string>

namespace ordalis {

// The folder part of a path, up to and including its last "/" ("./" when it has none).
std::string FolderOf(const std::string& path);

// Runs a callable when the scope ends, on every path out of it.
template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { m_f(); }

private:
    F m_f;
};

} // namespace ordalis
