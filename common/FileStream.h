#pragma once

#include "common/ByteStream.h"
#include "common/UniqueFd.h"

#include <string>
#include <sys/types.h>

namespace ordalis {

// A byte stream over an open file. Read and write failures throw InOutError.
class FileStream : public ByteStream {
public:
    explicit FileStream(UniqueFd fd, std::string path = {});

    // Opens an existing regular file for reading; throws "Cannot open file "%s". %s"
    // (a folder, FIFO or device is refused, never waited on).
    static FileStream openRead(const std::string& path);

    std::size_t read(void* data, std::size_t count) override;
    std::size_t write(const void* data, std::size_t count) override;
    std::int64_t seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t size() override;
    void setSize(std::int64_t newSize) override;
    // The file's permission bits.
    mode_t permissions();

    // Closes the file now, reporting a failure that a later close would hide.
    void close();

    int fd() const { return m_fd.get(); }
    const std::string& path() const { return m_path; }

private:
    UniqueFd m_fd;
    std::string m_path;
};

} // namespace ordalis
