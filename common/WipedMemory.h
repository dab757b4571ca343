#pragma once

#include <cstddef>

namespace ordalis {

// Memory for buffers that may hold plaintext or key material: wiped before it
// is given back. Large blocks are mapped pages, which grow by moving the pages
// rather than copying the bytes, so growing leaves no copy behind and costs little.

// A block of capacity bytes; null when there is no memory.
unsigned char* AllocateWiped(std::size_t capacity);
// The block grown to newCapacity with its first used bytes kept; null when there
// is no memory, the old block then still in place.
unsigned char* GrowWiped(unsigned char* block, std::size_t capacity, std::size_t used, std::size_t newCapacity);
void ReleaseWiped(unsigned char* block, std::size_t capacity);

// The deleter of a block that knows its capacity.
struct ReleaseWipedBlock {
    std::size_t capacity = 0;
    void operator()(unsigned char* block) const { ReleaseWiped(block, capacity); }
};

} // namespace ordalis
