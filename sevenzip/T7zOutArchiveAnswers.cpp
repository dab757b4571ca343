// The writer's answers to the library during an update pass. They may come on
// the library's worker threads and only read the batch.

#include "sevenzip/T7zOutArchive.h"

#include "common/FileStream.h"
#include "sevenzip/PropVariant.h"
#include "sevenzip/T7zStream.h"

namespace ordalis::sevenzip {

namespace {

void SetBool(PROPVARIANT& value, bool flag)
{
    value.vt = VT_BOOL;
    value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetFileTime(PROPVARIANT& value, const FILETIME& time)
{
    value.vt = VT_FILETIME;
    value.filetime = time;
}

} // namespace

const T7zBatchItem* T7zOutArchive::itemAt(std::uint32_t index) const
{
    return index < m_batch.size() ? &m_batch[index] : nullptr;
}

HRESULT T7zOutArchive::GetUpdateItemInfo(std::uint32_t index, std::int32_t* newData, std::int32_t* newProperties,
                                         std::uint32_t* indexInArchive)
{
    if (!itemAt(index))
        return E_INVALIDARG;
    // Every item is new; no earlier archive is read.
    if (newData)
        *newData = 1;
    if (newProperties)
        *newProperties = 1;
    if (indexInArchive)
        *indexInArchive = 0xFFFFFFFFu;
    return S_OK;
}

HRESULT T7zOutArchive::GetProperty(std::uint32_t index, PROPID propId, PROPVARIANT* value)
{
    const T7zBatchItem* item = itemAt(index);
    if (!item)
        return E_INVALIDARG;
    if (!value)
        return E_POINTER;
    switch (propId) {
    case kpid::Path:
        if (!item->path.empty()) {
            BSTR path = AllocBstr(item->path);
            if (!path)
                return E_OUTOFMEMORY;
            value->vt = VT_BSTR;
            value->bstrVal = path;
        }
        break;
    case kpid::IsDir: SetBool(*value, item->isDirectory); break;
    case kpid::Size:
        value->vt = VT_UI8;
        value->uhVal = item->size;
        break;
    case kpid::Attrib:
        value->vt = VT_UI4;
        value->ulVal = item->attributes;
        break;
    case kpid::CTime: SetFileTime(*value, item->creationTime); break;
    case kpid::MTime: SetFileTime(*value, item->lastWriteTime); break;
    case kpid::IsAnti: SetBool(*value, item->isAnti); break;
    default: break;
    }
    return S_OK;
}

ComPtr<ISequentialInStream> T7zOutArchive::openItemStream(const T7zBatchItem& item)
{
    if (item.kind == T7zSourceKind::Stream) {
        if (!item.stream)
            return {};
        item.stream->setPosition(0);
        const auto adapter = MakeCom<T7zStream>(HeldStream::referenced(*item.stream.get()), m_errors);
        return ComPtr<ISequentialInStream>::share(adapter->inView());
    }
    auto file = std::make_unique<FileStream>(FileStream::openRead(item.fileName));
    const auto adapter = MakeCom<T7zStream>(HeldStream::owned(std::move(file)), m_errors);
    return ComPtr<ISequentialInStream>::share(adapter->inView());
}

HRESULT T7zOutArchive::GetStream(std::uint32_t index, ISequentialInStream** inStream)
{
    if (!inStream)
        return E_POINTER;
    *inStream = nullptr;
    const T7zBatchItem* item = itemAt(index);
    if (!item)
        return E_INVALIDARG;
    return Guarded(m_errors.get(), [&] {
        *inStream = openItemStream(*item).detach();
        return S_OK;
    });
}

HRESULT T7zOutArchive::SetOperationResult(std::int32_t) { return S_OK; }

HRESULT T7zOutArchive::reportProgress(bool isTotal, std::uint64_t value)
{
    if (!m_progress)
        return S_OK;
    return Guarded(m_errors.get(), [&] { return m_progress(m_progressSender, isTotal, value); });
}

HRESULT T7zOutArchive::SetTotal(std::uint64_t total) { return reportProgress(true, total); }

HRESULT T7zOutArchive::SetCompleted(const std::uint64_t* completeValue)
{
    return completeValue ? reportProgress(false, *completeValue) : S_OK;
}

HRESULT T7zOutArchive::CryptoGetTextPassword2(std::int32_t* passwordIsDefined, BSTR* password)
{
    if (!passwordIsDefined)
        return E_POINTER;
    if (m_password.empty()) {
        *passwordIsDefined = 0;
        return S_OK;
    }
    if (!password)
        return E_POINTER;
    BSTR copy = AllocBstr(m_password);
    if (!copy)
        return E_OUTOFMEMORY;
    *password = copy;
    *passwordIsDefined = 1;
    return S_OK;
}

} // namespace ordalis::sevenzip
