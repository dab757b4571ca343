#pragma once

#include <span>
#include <string>

namespace ordalis {

// The folder that holds the current user's stores: $XDG_DATA_HOME/ordalis/certstore,
// or ~/.local/share/ordalis/certstore when XDG_DATA_HOME is unset or not absolute.
std::string StoreRootFolder();

// The folder of one named store ("MY"). Throws Error for a name that is not a plain folder name.
std::string StoreFolderPath(const std::string& storeName);

// Creates the folder and any missing parents with mode 0700; an existing folder
// is left as it is. Throws Error naming the folder on failure.
void EnsureStoreFolder(const std::string& folder);

// Writes a complete file readable by its owner only (mode 0600), replacing any
// file of that name only once all bytes are on disk.
void WriteStoreFile(const std::string& path, std::span<const unsigned char> bytes);

} // namespace ordalis
