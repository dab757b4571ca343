#include "common/WipedMemory.h"

#include <cstdlib>
#include <cstring>
#include <string.h>
#include <sys/mman.h>

namespace ordalis {

namespace {

// From here on a block is whole pages of its own.
constexpr std::size_t kMappedFrom = 1024 * 1024;

bool Mapped(std::size_t capacity) { return capacity >= kMappedFrom; }

} // namespace

unsigned char* AllocateWiped(std::size_t capacity)
{
    if (!Mapped(capacity))
        return static_cast<unsigned char*>(std::malloc(capacity));
    void* block = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : static_cast<unsigned char*>(block);
}

unsigned char* GrowWiped(unsigned char* block, std::size_t capacity, std::size_t used, std::size_t newCapacity)
{
    if (block && Mapped(capacity) && Mapped(newCapacity)) {
        void* moved = ::mremap(block, capacity, newCapacity, MREMAP_MAYMOVE);
        return moved == MAP_FAILED ? nullptr : static_cast<unsigned char*>(moved);
    }
    unsigned char* grown = AllocateWiped(newCapacity);
    if (grown && block) {
        std::memcpy(grown, block, used);
        ReleaseWiped(block, capacity);
    }
    return grown;
}

void ReleaseWiped(unsigned char* block, std::size_t capacity)
{
    if (!block)
        return;
    explicit_bzero(block, capacity);
    if (Mapped(capacity))
        ::munmap(block, capacity);
    else
        std::free(block);
}

} // namespace ordalis
