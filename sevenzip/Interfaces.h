#pragma once

// The library's object interfaces, methods in slot order. The Linux build of
// 7-Zip declares them without a virtual destructor: QueryInterface, AddRef and
// Release take slots 0 to 2 and the methods follow from slot 3. The destructors
// here are protected and non-virtual so they add no slot; objects go away
// through Release only.

#include "sevenzip/Abi.h"

namespace ordalis::sevenzip {

#define ORDALIS_7Z_IID(group, sub)                                                                                     \
    GUID                                                                                                               \
    {                                                                                                                  \
        0x23170F69, 0x40C1, 0x278A, { 0x00, 0x00, 0x00, group, 0x00, sub, 0x00, 0x00 }                                 \
    }

class IUnknown {
public:
    static constexpr GUID iid = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

class ISequentialInStream : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x01);
    virtual HRESULT Read(void* data, std::uint32_t size, std::uint32_t* processedSize) = 0;

protected:
    ~ISequentialInStream() = default;
};

class ISequentialOutStream : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x02);
    virtual HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* processedSize) = 0;

protected:
    ~ISequentialOutStream() = default;
};

class IInStream : public ISequentialInStream {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x03);
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) = 0;

protected:
    ~IInStream() = default;
};

class IOutStream : public ISequentialOutStream {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x04);
    virtual HRESULT Seek(std::int64_t offset, std::uint32_t origin, std::uint64_t* newPosition) = 0;
    virtual HRESULT SetSize(std::uint64_t newSize) = 0;

protected:
    ~IOutStream() = default;
};

class IStreamGetSize : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x06);
    virtual HRESULT GetSize(std::uint64_t* size) = 0;

protected:
    ~IStreamGetSize() = default;
};

class IOutStreamFlush : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x03, 0x07);
    virtual HRESULT Flush() = 0;

protected:
    ~IOutStreamFlush() = default;
};

class ICryptoGetTextPassword2 : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x05, 0x11);
    virtual HRESULT CryptoGetTextPassword2(std::int32_t* passwordIsDefined, BSTR* password) = 0;

protected:
    ~ICryptoGetTextPassword2() = default;
};

class ISetProperties : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x06, 0x03);
    virtual HRESULT SetProperties(const wchar_t* const* names, const PROPVARIANT* values, std::uint32_t count) = 0;

protected:
    ~ISetProperties() = default;
};

// The progress methods come first: the library's update callback extends its progress interface.
class IArchiveUpdateCallback : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x06, 0x80);
    virtual HRESULT SetTotal(std::uint64_t total) = 0;
    virtual HRESULT SetCompleted(const std::uint64_t* completeValue) = 0;
    virtual HRESULT GetUpdateItemInfo(std::uint32_t index, std::int32_t* newData, std::int32_t* newProperties,
                                      std::uint32_t* indexInArchive) = 0;
    virtual HRESULT GetProperty(std::uint32_t index, PROPID propId, PROPVARIANT* value) = 0;
    virtual HRESULT GetStream(std::uint32_t index, ISequentialInStream** inStream) = 0;
    virtual HRESULT SetOperationResult(std::int32_t result) = 0;

protected:
    ~IArchiveUpdateCallback() = default;
};

class IOutArchive : public IUnknown {
public:
    static constexpr GUID iid = ORDALIS_7Z_IID(0x06, 0xA0);
    virtual HRESULT UpdateItems(ISequentialOutStream* outStream, std::uint32_t numItems,
                                IArchiveUpdateCallback* updateCallback) = 0;
    virtual HRESULT GetFileTimeType(std::uint32_t* type) = 0;

protected:
    ~IOutArchive() = default;
};

#undef ORDALIS_7Z_IID

// The 7z format's class id.
inline constexpr GUID CLSID_Format7z = {0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x07, 0x00, 0x00}};

} // namespace ordalis::sevenzip
