#pragma once

#include "tools/common/Secret.h"

#include <string>

namespace ordalis::tools {

// The first line of a file, without its line end (LF or CR LF); at most the
// first 4 KiB or so are read. Throws Error when the file cannot be read.
Secret ReadPasswordFile(const std::string& path);

} // namespace ordalis::tools
