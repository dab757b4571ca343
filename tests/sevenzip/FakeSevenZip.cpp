// A stand-in for the 7-Zip library, built in variants that lack one export or
// another. The full one logs every call it gets and, during UpdateItems, asks
// the writer the questions the real library asks, logging each answer.

#include "tests/sevenzip/FakeSevenZip.h"
#include "sevenzip/Interfaces.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

using namespace ordalis::sevenzip;

namespace {

FakeConfig g_config;
std::string g_record;

void Log(const std::string& line) { g_record += line + "\n"; }

std::string Hex(std::uint64_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

// ASCII as is, any other code unit as \uXXXX.
std::string Units(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text) {
        const auto unit = static_cast<std::uint32_t>(*text);
        if (unit >= 0x20 && unit < 0x7F)
            out += static_cast<char>(unit);
        else
            out += "\\u" + Hex(unit);
    }
    return out;
}

// As the library does on Linux: the byte length sits before the text, and the
// block is freed from there.
std::string TakeBstr(BSTR text)
{
    std::uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(text) - 4, 4);
    std::string out = Units(text);
    if (length != std::wcslen(text) * sizeof(wchar_t))
        out += " (bad length)";
    std::free(reinterpret_cast<unsigned char*>(text) - 4);
    return out;
}

std::string Describe(PROPVARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY: return "empty";
    case VT_BOOL: return "bool " + std::to_string(value.boolVal);
    case VT_UI4: return "ui4 " + std::to_string(value.ulVal);
    case VT_UI8: return "ui8 " + std::to_string(value.uhVal);
    case VT_FILETIME:
        return "filetime " + Hex((std::uint64_t{value.filetime.dwHighDateTime} << 32) | value.filetime.dwLowDateTime);
    case VT_BSTR: return "bstr " + TakeBstr(value.bstrVal);
    default: return "vt " + std::to_string(value.vt);
    }
}

std::string DescribeConst(const PROPVARIANT& value)
{
    if (value.vt == VT_BSTR)
        return "bstr " + Units(value.bstrVal);
    PROPVARIANT copy = value;
    return Describe(copy);
}

std::string ReadAll(ISequentialInStream* stream, HRESULT& result)
{
    std::string data;
    char buffer[7];
    for (;;) {
        std::uint32_t done = 0;
        result = stream->Read(buffer, sizeof buffer, &done);
        if (result != S_OK || done == 0)
            return data;
        data.append(buffer, done);
    }
}

class FakeArchive final : public IOutArchive, public ISetProperties {
public:
    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        if (iid == IUnknown::iid || iid == IOutArchive::iid)
            *object = static_cast<IOutArchive*>(this);
        else if (iid == ISetProperties::iid && g_config.answerSetProperties)
            *object = static_cast<ISetProperties*>(this);
        else
            *object = nullptr;
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return ++m_refs; }
    std::uint32_t Release() override
    {
        const std::uint32_t left = --m_refs;
        if (left == 0) {
            Log("archive released");
            delete this;
        }
        return left;
    }

    HRESULT SetProperties(const wchar_t* const* names, const PROPVARIANT* values, std::uint32_t count) override
    {
        std::string line = "SetProperties(";
        for (std::uint32_t i = 0; i < count; ++i)
            line += (i ? ", " : "") + Units(names[i]) + "=" + DescribeConst(values[i]);
        Log(line + ")");
        return g_config.setPropertiesResult;
    }

    HRESULT UpdateItems(ISequentialOutStream* out, std::uint32_t count, IArchiveUpdateCallback* callback) override
    {
        Log("UpdateItems " + std::to_string(count));
        askProgress(*callback);
        for (std::uint32_t i = 0; i < count; ++i) {
            const HRESULT result = askItem(*callback, i);
            if (result != S_OK)
                return result;
        }
        askPassword(*callback);
        std::uint32_t written = 0;
        out->Write("FAKE7Z", 6, &written);
        return g_config.updateResult;
    }

    HRESULT GetFileTimeType(std::uint32_t* type) override
    {
        *type = 0;
        return S_OK;
    }

private:
    ~FakeArchive() = default;

    static void askProgress(IArchiveUpdateCallback& callback)
    {
        Log("SetTotal -> " + Hex(static_cast<std::uint32_t>(callback.SetTotal(1000))));
        Log("SetCompleted(null) -> " + Hex(static_cast<std::uint32_t>(callback.SetCompleted(nullptr))));
        const std::uint64_t done = 500;
        Log("SetCompleted(500) -> " + Hex(static_cast<std::uint32_t>(callback.SetCompleted(&done))));
    }

    static HRESULT askItem(IArchiveUpdateCallback& callback, std::uint32_t index)
    {
        const std::string item = "item " + std::to_string(index) + " ";
        std::int32_t newData = 7, newProperties = 7;
        std::uint32_t indexInArchive = 7;
        callback.GetUpdateItemInfo(index, &newData, &newProperties, &indexInArchive);
        Log(item + "info " + std::to_string(newData) + " " + std::to_string(newProperties) + " " + Hex(indexInArchive));
        for (const PROPID id : {kpid::Path, kpid::IsDir, kpid::Size, kpid::Attrib, kpid::CTime, kpid::ATime,
                                kpid::MTime, kpid::IsAnti, PROPID{99}}) {
            PROPVARIANT value;
            std::memset(&value, 0, sizeof value);
            const HRESULT result = callback.GetProperty(index, id, &value);
            Log(item + "prop " + std::to_string(id) + " " + Describe(value) + " -> " +
                Hex(static_cast<std::uint32_t>(result)));
        }
        ISequentialInStream* stream = nullptr;
        const HRESULT opened = callback.GetStream(index, &stream);
        if (opened != S_OK) {
            Log(item + "GetStream -> " + Hex(static_cast<std::uint32_t>(opened)));
            return opened;
        }
        HRESULT read = S_OK;
        const std::string data = stream ? ReadAll(stream, read) : "(no stream)";
        if (stream)
            stream->Release();
        Log(item + "data " + data + (read == S_OK ? "" : " read -> " + Hex(static_cast<std::uint32_t>(read))));
        callback.SetOperationResult(0);
        return read;
    }

    static void askPassword(IArchiveUpdateCallback& callback)
    {
        ICryptoGetTextPassword2* password = nullptr;
        if (callback.QueryInterface(ICryptoGetTextPassword2::iid, reinterpret_cast<void**>(&password)) != S_OK) {
            Log("no password interface");
            return;
        }
        std::int32_t defined = 7;
        BSTR text = reinterpret_cast<BSTR>(std::uintptr_t{0x10});
        password->CryptoGetTextPassword2(&defined, &text);
        password->Release();
        if (text == reinterpret_cast<BSTR>(std::uintptr_t{0x10}))
            Log("password defined " + std::to_string(defined) + ", untouched");
        else
            Log("password defined " + std::to_string(defined) + ", " + TakeBstr(text));
    }

    std::atomic<std::uint32_t> m_refs{0};
};

} // namespace

extern "C" {

void FakeConfigure(const FakeConfig* config)
{
    g_config = *config;
    g_record.clear();
}

const char* FakeRecord() { return g_record.c_str(); }

#ifndef FAKE_WITHOUT_CREATE_OBJECT
HRESULT CreateObject(const GUID* classId, const GUID* iid, void** object)
{
    Log("CreateObject class " + Hex(classId->Data4[5]));
    if (g_config.createObjectResult != S_OK)
        return g_config.createObjectResult;
    if (!(*iid == IOutArchive::iid))
        return E_NOINTERFACE;
    auto* archive = new FakeArchive;
    archive->AddRef();
    *object = static_cast<IOutArchive*>(archive);
    return S_OK;
}
#endif

#ifndef FAKE_WITHOUT_HANDLER_PROPERTY
HRESULT GetHandlerProperty(PROPID, PROPVARIANT* value)
{
    value->vt = VT_EMPTY;
    return S_OK;
}
#endif

#ifndef FAKE_WITHOUT_MODULE_PROP
HRESULT GetModuleProp(PROPID id, PROPVARIANT* value)
{
    value->vt = VT_UI4;
    value->ulVal = id == 0 ? 0 : 1;
    return S_OK;
}
#endif
}
