#pragma once

#include "common/FileStream.h"
#include "common/InterruptCleanup.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <sys/types.h>

namespace ordalis {

// The permission bits a finished output gets. By default those of a new file
// (0666 less the umask), or the permission bits of the regular file of ours
// that it replaces; never setuid, setgid or sticky bits.
struct OutputMode {
    // Bits the output gets whatever stood under its name (store files: 0600).
    std::optional<mode_t> exactly;
    // Bits it may never exceed (decrypted content: those of its envelope).
    mode_t atMost = 0777;

    static OutputMode Exactly(mode_t bits) { return {bits, 0777}; }
    static OutputMode NoMoreThan(mode_t bits) { return {std::nullopt, bits}; }
};

// Writes a file so that it is either completely there or not changed at all.
// The bytes go to a file in the target's folder that has no name while it is
// written (or, where the file system cannot do that, a short hidden name), is
// readable by its owner only, and replaces the target only on commit().
// Nothing of what stood under the target's name (mode, owner, inode, a
// symbolic link's target) is used for the new file.
class AtomicFileWriter {
public:
    // Throws "Cannot create file "%s". %s" naming the target.
    explicit AtomicFileWriter(std::string target, OutputMode mode = {});
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    // The stream of the temporary file, positioned at its start.
    FileStream& stream() { return *m_stream; }
    const std::string& target() const { return m_target; }

    // Flushes to disk, gives the file its final mode and renames it over the
    // target. Throws on failure, leaving the target as it was.
    void commit();

private:
    void openNamedTemporary(const std::string& folder);
    void nameTheFile();
    void removeNamedTemporary();

    std::string m_target;
    OutputMode m_mode;
    std::unique_ptr<FileStream> m_stream;
    std::string m_namedTemporary; // empty while the file has no name
    std::unique_ptr<RemoveOnInterrupt> m_removeOnInterrupt;
    bool m_committed = false;
};

// Saves bytes to path through an AtomicFileWriter.
void SaveFileAtomically(const std::string& path, std::span<const unsigned char> bytes, OutputMode mode = {});

} // namespace ordalis
