#pragma once

#include "sevenzip/ComPtr.h"
#include "sevenzip/Interfaces.h"

#include <atomic>
#include <utility>

namespace ordalis::sevenzip {

// The common base of the objects this binding hands to the library. The count
// is 0 after construction; every reference taken adds one and the release that
// brings it back to 0 destroys the object. The library calls back on its worker
// threads, so the count changes atomically.
class T7zRefCounted : public IUnknown {
public:
    T7zRefCounted(const T7zRefCounted&) = delete;
    T7zRefCounted& operator=(const T7zRefCounted&) = delete;

    HRESULT QueryInterface(const GUID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

protected:
    T7zRefCounted() = default;
    virtual ~T7zRefCounted() = default;

    // The view of this object for iid, or nullptr when it doesn't answer iid.
    virtual void* findInterface(const GUID& iid);

private:
    std::atomic<std::uint32_t> m_refCount{0};
};

// Constructs a reference-counted object and takes the first reference at once.
template <class T, class... Args>
ComPtr<T> MakeCom(Args&&... args)
{
    return ComPtr<T>::share(new T(std::forward<Args>(args)...));
}

} // namespace ordalis::sevenzip
