#pragma once

#include "sevenzip/ComPtr.h"
#include "sevenzip/I7zArchiveWriter.h"
#include "sevenzip/Interfaces.h"

#include <array>
#include <cstdint>
#include <string>

namespace ordalis::sevenzip {

// Method names for the "0" property, indexed 0 to 5.
inline constexpr std::array<const char16_t*, 6> kCompressionMethods = {u"COPY", u"LZMA",    u"BZIP2",
                                                                       u"PPMD", u"DEFLATE", u"DEFLATE64"};

// Loads the library, makes a writer for the format classId and gives the only reference to it.
ComPtr<I7zArchiveWriter> CreateOutArchive(const GUID& classId, const std::string& libraryName);

// The property name with value as VT_UI4.
void SetCardinalProperty(I7zArchiveWriter& writer, std::u16string name, std::uint32_t value);
// Property "X": the compression level.
void SetCompressionLevel(I7zArchiveWriter& writer, std::uint32_t level);
// Property "0": the method name at index method of kCompressionMethods; any
// other index raises the invalid-argument text.
void SetCompressionMethod(I7zArchiveWriter& writer, std::uint32_t method);

// Raises the system text for any code but 0 (1 included).
void CheckHResult(HRESULT code);

} // namespace ordalis::sevenzip
