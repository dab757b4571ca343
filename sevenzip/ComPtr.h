#pragma once

#include "sevenzip/Interfaces.h"

#include <utility>

namespace ordalis::sevenzip {

// Holds one reference to an interface and releases it when it goes. Move-only:
// copying a reference is always an explicit AddRef through share().
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_ptr, nullptr));
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { reset(); }

    // Takes over a reference the caller already holds.
    static ComPtr adopt(T* ptr)
    {
        ComPtr result;
        result.m_ptr = ptr;
        return result;
    }
    // Takes a new reference.
    static ComPtr share(T* ptr)
    {
        if (ptr)
            ptr->AddRef();
        return adopt(ptr);
    }

    T* get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    // Releases the held reference first, then gives the slot for an out-parameter.
    T** put()
    {
        reset();
        return &m_ptr;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    // Gives up the reference without releasing it (for an out-parameter).
    T* detach() { return std::exchange(m_ptr, nullptr); }

    void reset(T* ptr = nullptr)
    {
        if (T* old = std::exchange(m_ptr, ptr))
            old->Release();
    }

    // Asks for another interface of the same object; empty when it isn't answered.
    template <class U>
    ComPtr<U> query() const
    {
        void* raw = nullptr;
        if (m_ptr && m_ptr->QueryInterface(U::iid, &raw) == S_OK)
            return ComPtr<U>::adopt(static_cast<U*>(raw));
        return {};
    }

private:
    T* m_ptr = nullptr;
};

} // namespace ordalis::sevenzip
