#pragma once

#include <string>
#include <vector>

namespace ordalis::cli {

// The DER of a signature file as people receive them: DER, Base64 whose first
// line starts it ("MI..."), or PEM armour ("-----BEGIN CMS-----",
// "-----BEGIN PKCS7-----"). Throws InOutError when the file cannot be read.
std::vector<unsigned char> ReadSignatureFile(const std::string& path);

} // namespace ordalis::cli
