#pragma once

#include "sevenzip/Abi.h"

#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace ordalis::sevenzip {

// Errors must not cross the library: a method the library calls catches them,
// keeps the first message here and returns a failure code, and the save that
// started the library call raises that message once the library returns.
class CallbackError {
public:
    // Keeps the message of the current exception (the first one only) and
    // returns the code to hand to the library.
    HRESULT record(std::exception_ptr error);

    std::optional<std::string> take();

private:
    std::mutex m_mutex;
    std::optional<std::string> m_message;
};

// Runs body, turning an exception into a recorded message and a failure code.
template <class Body>
HRESULT Guarded(CallbackError* errors, Body&& body) noexcept
{
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return errors ? errors->record(std::current_exception()) : E_FAIL;
    }
}

} // namespace ordalis::sevenzip
