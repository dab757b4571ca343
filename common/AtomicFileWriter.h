#pragma once

#include "common/FileStream.h"

#include <memory>
#include <span>
#include <string>

namespace ordalis {

// Writes a file so that it is either completely there or not changed at all:
// the bytes go to a temporary file in the target's folder, which replaces the
// target only on commit(). Without a commit the temporary file is removed.
class AtomicFileWriter {
public:
    // Throws "Cannot create file "%s". %s" naming the target.
    explicit AtomicFileWriter(std::string target);
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
    ~AtomicFileWriter();

    // The stream of the temporary file, positioned at its start.
    FileStream& stream() { return *m_stream; }
    const std::string& temporaryPath() const { return m_tempPath; }
    const std::string& target() const { return m_target; }

    // Flushes to disk and renames over the target. Throws on failure, leaving the target as it was.
    void commit();

private:
    std::string m_target;
    std::string m_tempPath;
    std::unique_ptr<FileStream> m_stream;
    bool m_committed = false;
};

// Saves bytes to path through an AtomicFileWriter.
void SaveFileAtomically(const std::string& path, std::span<const unsigned char> bytes);

} // namespace ordalis
