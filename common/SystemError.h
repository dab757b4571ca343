#pragma once

#include <cstdint>
#include <string>

namespace ordalis {

// The system's text for a 32-bit code, at most 255 characters, without
// trailing blanks, control characters and full stops; empty when there is none.
// Small codes are errno values; cryptographic and 7z codes have Russian texts.
std::string SystemErrorText(std::uint32_t code);

// The C library's message for errno, trimmed like SystemErrorText.
std::string ErrnoText(int err);

// "<system text> - <code as unsigned decimal>": how a failed call is reported.
std::string ErrorReportText(std::uint32_t code);

// The platform-error check: throws "System Error.  Code: %d.\r\n%s" for the
// thread's last error when ok is false ("A call to an OS function failed" for code 0).
void Win32Check(bool ok);

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s" for errno.
std::string CannotOpenFileText(const std::string& path, int err);
std::string CannotCreateFileText(const std::string& path, int err);

} // namespace ordalis
