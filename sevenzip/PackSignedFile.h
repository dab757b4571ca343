#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ordalis {

// Packs the signed file and then its signature file, each under its bare name,
// into the 7z archive signatureName + ".7z" (BZip2, level 5), replacing an
// earlier archive of that name only once the new one is complete. Returns the
// archive's name; raises ordalis::Error with the binding's messages.
// progress, when given, is told the bytes to pack (isTotal) and then the bytes
// packed so far, on the library's worker threads.
using PackProgress = std::function<void(bool isTotal, std::uint64_t value)>;
std::string PackSignedFile(const std::string& sourceName, const std::string& signatureName,
                           const std::string& libraryName, const PackProgress& progress = {});

} // namespace ordalis
