#pragma once

#include "sevenzip/Abi.h"

#include <cstring>
#include <string_view>

namespace ordalis::sevenzip {

// A BSTR as the library allocates and frees it on Linux: one malloc block with
// a 32-bit byte length, the wchar_t code units and a 4-byte zero; the pointer
// handed out is the block + 4. The library frees the BSTRs it is given (paths,
// the password) with free(p - 4), so they must be made exactly this way.
// Returns nullptr when memory runs out.
BSTR AllocBstr(std::u16string_view text);
void FreeBstr(BSTR text);
std::uint32_t BstrByteLength(const wchar_t* text);

// An all-zero (VT_EMPTY) value, as the library expects out-values to start.
inline PROPVARIANT EmptyPropVariant()
{
    PROPVARIANT value;
    std::memset(&value, 0, sizeof value);
    return value;
}

// Frees what a PROPVARIANT owns and makes it empty.
void ClearPropVariant(PROPVARIANT& value);

// A PROPVARIANT that frees its BSTR when it goes.
class PropVariantHolder {
public:
    PropVariantHolder() : m_value(EmptyPropVariant()) {}
    PropVariantHolder(const PropVariantHolder&) = delete;
    PropVariantHolder& operator=(const PropVariantHolder&) = delete;
    PropVariantHolder(PropVariantHolder&& other) noexcept : m_value(other.m_value)
    {
        other.m_value = EmptyPropVariant();
    }
    ~PropVariantHolder() { ClearPropVariant(m_value); }

    PROPVARIANT& get() { return m_value; }
    const PROPVARIANT& get() const { return m_value; }

private:
    PROPVARIANT m_value;
};

} // namespace ordalis::sevenzip
