#pragma once

#include <string>
#include <vector>

namespace ordalis::cli {

// A JSON string literal for text that should be UTF-8. Every line it goes into
// stays valid JSON whatever the bytes: control characters (C0, DEL and C1) are
// written as \u escapes, and each byte that is not part of a well-formed UTF-8
// sequence becomes U+FFFD. That replacement loses the byte; names that need it
// back also go out as Base64 (JsonBytes).
std::string JsonString(const std::string& text);
std::string JsonArray(const std::vector<std::string>& texts);

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsUtf8(const std::string& text);

// A JSON string holding the bytes in Base64 (RFC 4648, with padding): a file name exactly as it is.
std::string JsonBytes(const std::string& bytes);

} // namespace ordalis::cli
