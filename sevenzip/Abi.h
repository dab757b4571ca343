#pragma once

// The 7-Zip library's binary interface as the Linux build of the library
// expects it: plain types, GUIDs, PROPVARIANT and BSTR.

#include "common/FileTime.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ordalis::sevenzip {

using HRESULT = std::int32_t;
using PROPID = std::uint32_t;
using VARTYPE = std::uint16_t;
// Text the library reads and frees; see AllocBstr in PropVariant.h for its layout.
using BSTR = wchar_t*;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
};
static_assert(sizeof(GUID) == 16);

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_UI4 = 19;
inline constexpr VARTYPE VT_UI8 = 21;
inline constexpr VARTYPE VT_FILETIME = 64;

inline constexpr std::int16_t VARIANT_TRUE = -1;
inline constexpr std::int16_t VARIANT_FALSE = 0;

// 16 bytes: the type at offset 0, the value at offset 8.
struct PROPVARIANT {
    VARTYPE vt;
    std::uint16_t wReserved1;
    std::uint16_t wReserved2;
    std::uint16_t wReserved3;
    union {
        std::int16_t boolVal;
        std::uint32_t ulVal;
        std::uint64_t uhVal;
        BSTR bstrVal;
        FILETIME filetime;
    };
};
static_assert(sizeof(PROPVARIANT) == 16);
static_assert(offsetof(PROPVARIANT, uhVal) == 8);

// Property ids the update callback answers.
namespace kpid {
inline constexpr PROPID Path = 3;
inline constexpr PROPID IsDir = 6;
inline constexpr PROPID Size = 7;
inline constexpr PROPID Attrib = 9;
inline constexpr PROPID CTime = 10;
inline constexpr PROPID ATime = 11;
inline constexpr PROPID MTime = 12;
inline constexpr PROPID IsAnti = 21;
} // namespace kpid

// Exports of the library.
extern "C" {
using CreateObjectFunc = HRESULT (*)(const GUID* classId, const GUID* interfaceId, void** object);
using GetHandlerPropertyFunc = HRESULT (*)(PROPID propId, PROPVARIANT* value);
using GetModulePropFunc = HRESULT (*)(PROPID propId, PROPVARIANT* value);
}

} // namespace ordalis::sevenzip
