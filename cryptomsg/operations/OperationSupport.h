#pragma once

// Small pieces shared by the four operations.

#include "common/LastError.h"
#include "cryptomsg/operations/DesktopSeam.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

namespace ordalis {

// The folder part of a path, up to and including its last "/" ("./" when it has none).
std::string FolderOf(const std::string& path);

// Throws the too-large error for content that one message call cannot take:
// its length must fit the calls' 32-bit sizes.
void RefuseLargerThanOneCall(std::size_t length);

// Runs call as a long step of the desktop and returns its result. The step may
// run on another thread, so the last-error code it left is carried back: the
// caller reads it right after, as after a direct call.
template <class Call>
auto RunLongCall(DesktopSeam& desktop, const LongStep& step, Call call)
{
    std::optional<decltype(call())> result;
    std::uint32_t lastError = 0;
    desktop.runLongStep(step, [&](StepProgress&) {
        result.emplace(call());
        lastError = GetLastError();
    });
    SetLastError(lastError);
    return std::move(*result);
}

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
