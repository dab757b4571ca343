#include "sevenzip/RefCounted.h"

namespace ordalis::sevenzip {

HRESULT T7zRefCounted::QueryInterface(const GUID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = findInterface(iid);
    if (!*object)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

std::uint32_t T7zRefCounted::AddRef() { return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1; }

std::uint32_t T7zRefCounted::Release()
{
    const std::uint32_t left = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

void* T7zRefCounted::findInterface(const GUID& iid)
{
    return iid == IUnknown::iid ? static_cast<IUnknown*>(this) : nullptr;
}

} // namespace ordalis::sevenzip
