#pragma once

#include "sevenzip/CallbackError.h"
#include "sevenzip/HeldStream.h"
#include "sevenzip/RefCounted.h"

#include <memory>

namespace ordalis::sevenzip {

// Shows one of our byte streams to the library as its stream interfaces. The
// adapter of an owned stream frees it (closing a file) when the library lets go.
class T7zStream final : public T7zRefCounted,
                        public IInStream,
                        public IOutStream,
                        public IStreamGetSize,
                        public IOutStreamFlush {
public:
    // errors, when given, receives the message of a failing stream operation.
    explicit T7zStream(HeldStream stream, std::shared_ptr<CallbackError> errors = nullptr);

    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        return T7zRefCounted::QueryInterface(iid, object);
    }
    std::uint32_t AddRef() override { return T7zRefCounted::AddRef(); }
    std::uint32_t Release() override { return T7zRefCounted::Release(); }

    HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processedSize) override;
    HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) override;
    // One routine serves both the in- and the out-stream view.
    HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) override;
    HRESULT SetSize(std::uint64_t newSize) override;
    HRESULT GetSize(std::uint64_t* size) override;
    HRESULT Flush() override;

    ISequentialInStream* inView() { return static_cast<IInStream*>(this); }
    ISequentialOutStream* outView() { return static_cast<IOutStream*>(this); }

private:
    ~T7zStream() override = default;
    void* findInterface(const GUID& iid) override;

    HeldStream m_stream;
    std::shared_ptr<CallbackError> m_errors;
};

} // namespace ordalis::sevenzip
