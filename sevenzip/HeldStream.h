#pragma once

#include "common/ByteStream.h"

#include <memory>

namespace ordalis::sevenzip {

enum class T7zOwnership { Referenced, Owned };

// A byte stream together with who frees it: an owned stream goes with its
// holder, a referenced one stays the caller's.
class HeldStream {
public:
    HeldStream() = default;

    static HeldStream owned(std::unique_ptr<ByteStream> stream)
    {
        HeldStream held;
        held.m_stream = stream.get();
        held.m_owned = std::move(stream);
        return held;
    }
    static HeldStream referenced(ByteStream& stream)
    {
        HeldStream held;
        held.m_stream = &stream;
        return held;
    }

    ByteStream* get() const { return m_stream; }
    ByteStream* operator->() const { return m_stream; }
    explicit operator bool() const { return m_stream != nullptr; }
    T7zOwnership ownership() const { return m_owned ? T7zOwnership::Owned : T7zOwnership::Referenced; }

private:
    std::unique_ptr<ByteStream> m_owned;
    ByteStream* m_stream = nullptr;
};

} // namespace ordalis::sevenzip
