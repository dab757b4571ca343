#pragma once

#include <string>

namespace ordalis {

// Packs the signed file and then its signature file, each under its bare name,
// into the 7z archive signatureName + ".7z" (BZip2, level 5), replacing an
// earlier archive of that name only once the new one is complete. Returns the
// archive's name; raises ordalis::Error with the binding's messages.
std::string PackSignedFile(const std::string& sourceName, const std::string& signatureName,
                           const std::string& libraryName);

} // namespace ordalis
