#pragma once

#include "sevenzip/FileInfo.h"

#include <string>
#include <string_view>
#include <vector>

namespace ordalis::sevenzip {

// Splits a mask list: masks are separated by ";" and also end at a blank or
// control character unless written in double quotes; empty masks are dropped.
std::vector<std::string> SplitMasks(std::string_view masks);

struct FoundFile {
    std::string fileName;  // base + the path below it
    std::string belowBase; // the path below base, "/" between parts
    DiskFileInfo info;
};

// The files under base (which ends with "/") that the masks find, with the
// shell's wildcard rules; hidden (dot) files match like any other. With
// recurse, the files of each subdirectory come first (depth first), then the
// folder's own; subdirectories whose names begin with "." and symbolic links to
// folders are not entered. Within a folder, each mask's finds come in the order
// the file system lists them, mask after mask; a file two masks match comes twice.
std::vector<FoundFile> FindFiles(const std::string& base, const std::vector<std::string>& masks, bool recurse);

} // namespace ordalis::sevenzip
