#pragma once

#include <string>

namespace ordalis::cli {

// Throws Error saying plainly that a file is too large when path names a
// regular file larger than the operations take (their 2047 MiB content limit).
// Anything else is left for the operation to report.
void CheckInputSize(const std::string& path);

// The same for an envelope to decrypt, unless it is one that is decrypted as it
// is read (DER or BER), which may be of any size.
void CheckEnvelopeSize(const std::string& path);

} // namespace ordalis::cli
