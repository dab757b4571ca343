#include "sevenzip/CallbackError.h"

#include <new>
#include <stdexcept>

namespace ordalis::sevenzip {

namespace {

std::pair<std::string, HRESULT> Describe(std::exception_ptr error)
{
    try {
        std::rethrow_exception(std::move(error));
    } catch (const std::bad_alloc&) {
        return {"Out of memory", E_OUTOFMEMORY};
    } catch (const std::exception& e) {
        return {e.what(), E_FAIL};
    } catch (...) {
        return {"Unknown error", E_FAIL};
    }
}

} // namespace

HRESULT CallbackError::record(std::exception_ptr error)
{
    auto [message, code] = Describe(std::move(error));
    const std::lock_guard lock(m_mutex);
    if (!m_message)
        m_message = std::move(message);
    return code;
}

std::optional<std::string> CallbackError::take()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_message, std::nullopt);
}

} // namespace ordalis::sevenzip
