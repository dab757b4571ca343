#include "common/FileContent.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace ordalis {

namespace {

// Nobody but this user (and root) can write to or shorten the file.
bool OnlyOwnerCanChange(const struct stat& st)
{
    return st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

FileContent FileContent::load(const std::string& path)
{
    FileStream file = FileStream::openRead(path);
    return load(file);
}

FileContent FileContent::load(FileStream& file)
{
    FileContent content;
    struct stat st {};
    if (::fstat(file.fd(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && OnlyOwnerCanChange(st)) {
        const auto size = static_cast<std::size_t>(st.st_size);
        void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.fd(), 0);
        if (mapped != MAP_FAILED) {
            content.m_mapped = mapped;
            content.m_mappedSize = size;
            return content;
        }
    }
    // Empty files, files others may change and mappings refused (address space
    // limits, say) are read the ordinary way.
    content.m_copy.loadFromFile(file);
    return content;
}

FileContent::FileContent(FileContent&& other) noexcept
    : m_mapped(std::exchange(other.m_mapped, nullptr)), m_mappedSize(std::exchange(other.m_mappedSize, 0)),
      m_copy(std::move(other.m_copy))
{
}

FileContent& FileContent::operator=(FileContent&& other) noexcept
{
    if (this != &other) {
        unmap();
        m_mapped = std::exchange(other.m_mapped, nullptr);
        m_mappedSize = std::exchange(other.m_mappedSize, 0);
        m_copy = std::move(other.m_copy);
    }
    return *this;
}

FileContent::~FileContent() { unmap(); }

void FileContent::unmap()
{
    if (m_mapped)
        ::munmap(m_mapped, m_mappedSize);
    m_mapped = nullptr;
    m_mappedSize = 0;
}

std::span<const unsigned char> FileContent::bytes() const
{
    if (m_mapped)
        return {static_cast<const unsigned char*>(m_mapped), m_mappedSize};
    return m_copy.bytes();
}

} // namespace ordalis
