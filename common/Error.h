#pragma once

#include <stdexcept>
#include <string>

namespace ordalis {

// An error that ends an operation; its message is what the user is shown.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file-layer failure carrying one of the runtime's input/output codes
// (2 file not found, 3 invalid filename, 5 access denied, ...).
class InOutError : public Error {
public:
    explicit InOutError(int code);
    int code() const { return m_code; }

private:
    int m_code;
};

// The runtime's text for an input/output code ("File not found", "I/O error 32", ...).
std::string InOutErrorText(int code);

// Maps errno to the runtime's input/output code; path tells ENOENT of a
// missing file (2) from that of a missing folder (3).
int InOutCodeFromErrno(int err, const std::string& path);

// Throws the InOutError for errno when accessing path.
[[noreturn]] void ThrowInOutError(int err, const std::string& path);

} // namespace ordalis
