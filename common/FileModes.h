#pragma once

#include <string>
#include <sys/types.h>

namespace ordalis {

// The process's file-creation mask, read without changing it.
mode_t CurrentUmask();

// The permission bits a complete new file under target's name gets: those of
// the file it replaces when that is a regular file owned by us (never
// following a symbolic link, never setuid, setgid or sticky), else 0666 less the umask.
mode_t ModeForReplacing(const std::string& target);

// Makes a rename in folder durable; a folder that cannot be synced is left as it is.
void SyncFolder(const std::string& folder);

} // namespace ordalis

#include "common/UniqueFd.h"

namespace ordalis {

// Opens path for reading when it is a regular file (after following symbolic
// links), never blocking on a FIFO or device. On failure the descriptor is
// empty and errno tells why: EISDIR for a folder, EPERM for any other kind of file.
UniqueFd OpenRegularFileForReading(const std::string& path);

} // namespace ordalis
