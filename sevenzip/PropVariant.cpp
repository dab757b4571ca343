#include "sevenzip/PropVariant.h"

#include <cstdlib>
#include <limits>

namespace ordalis::sevenzip {

namespace {

constexpr std::size_t kLengthSize = sizeof(std::uint32_t);

} // namespace

BSTR AllocBstr(std::u16string_view text)
{
    const std::size_t bytes = text.size() * sizeof(wchar_t);
    if (bytes > std::numeric_limits<std::uint32_t>::max() - 2 * kLengthSize)
        return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kLengthSize + bytes + sizeof(wchar_t)));
    if (!block)
        return nullptr;
    const auto length = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &length, kLengthSize);
    auto* chars = reinterpret_cast<wchar_t*>(block + kLengthSize);
    for (std::size_t i = 0; i < text.size(); ++i)
        chars[i] = static_cast<wchar_t>(text[i]);
    chars[text.size()] = 0;
    return chars;
}

void FreeBstr(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - kLengthSize);
}

std::uint32_t BstrByteLength(const wchar_t* text)
{
    if (!text)
        return 0;
    std::uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<const unsigned char*>(text) - kLengthSize, kLengthSize);
    return length;
}

void ClearPropVariant(PROPVARIANT& value)
{
    if (value.vt == VT_BSTR)
        FreeBstr(value.bstrVal);
    value = EmptyPropVariant();
}

} // namespace ordalis::sevenzip
