#include "sevenzip/T7zStream.h"

namespace ordalis::sevenzip {

T7zStream::T7zStream(HeldStream stream, std::shared_ptr<CallbackError> errors)
    : m_stream(std::move(stream)), m_errors(std::move(errors))
{
}

void* T7zStream::findInterface(const GUID& iid)
{
    // IInStream extends ISequentialInStream and IOutStream extends
    // ISequentialOutStream: both of a pair get the same view.
    if (iid == IUnknown::iid)
        return static_cast<IUnknown*>(static_cast<T7zRefCounted*>(this));
    if (iid == ISequentialInStream::iid || iid == IInStream::iid)
        return static_cast<IInStream*>(this);
    if (iid == ISequentialOutStream::iid || iid == IOutStream::iid)
        return static_cast<IOutStream*>(this);
    if (iid == IStreamGetSize::iid)
        return static_cast<IStreamGetSize*>(this);
    if (iid == IOutStreamFlush::iid)
        return static_cast<IOutStreamFlush*>(this);
    return nullptr;
}

HRESULT T7zStream::Read(void* data, std::uint32_t size, std::uint32_t* processedSize)
{
    if (processedSize)
        *processedSize = 0;
    return Guarded(m_errors.get(), [&] {
        const auto n = static_cast<std::uint32_t>(m_stream->read(data, size));
        if (processedSize)
            *processedSize = n;
        return S_OK;
    });
}

HRESULT T7zStream::Write(const void* data, std::uint32_t size, std::uint32_t* processedSize)
{
    if (processedSize)
        *processedSize = 0;
    return Guarded(m_errors.get(), [&] {
        const auto n = static_cast<std::uint32_t>(m_stream->write(data, size));
        if (processedSize)
            *processedSize = n;
        return S_OK;
    });
}

HRESULT T7zStream::Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition)
{
    if (origin > static_cast<std::uint32_t>(SeekOrigin::End))
        return E_INVALIDARG;
    return Guarded(m_errors.get(), [&] {
        const std::int64_t position = m_stream->seek(offset, static_cast<SeekOrigin>(origin));
        if (newPosition)
            *newPosition = static_cast<std::uint64_t>(position);
        return S_OK;
    });
}

HRESULT T7zStream::SetSize(std::uint64_t newSize)
{
    return Guarded(m_errors.get(), [&] {
        m_stream->setSize(static_cast<std::int64_t>(newSize));
        return S_OK;
    });
}

HRESULT T7zStream::GetSize(std::uint64_t* size)
{
    return Guarded(m_errors.get(), [&] {
        const std::int64_t current = m_stream->size();
        if (size)
            *size = static_cast<std::uint64_t>(current);
        return S_OK;
    });
}

HRESULT T7zStream::Flush() { return S_OK; }

} // namespace ordalis::sevenzip
