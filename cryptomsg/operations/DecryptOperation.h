#pragma once

#include <string>

namespace ordalis {

// The path less its last four characters (report.pdf.enc gives report.pdf).
std::string DecryptedFileName(const std::string& path);

} // namespace ordalis
