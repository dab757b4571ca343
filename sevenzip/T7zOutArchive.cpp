#include "sevenzip/T7zOutArchive.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "sevenzip/FileSearch.h"
#include "sevenzip/PropVariant.h"
#include "sevenzip/SevenZip.h"
#include "sevenzip/T7zStream.h"
#include "sevenzip/Utf16.h"

#include <algorithm>
#include <new>

namespace ordalis::sevenzip {

namespace {

BSTR NewBstr(std::u16string_view text)
{
    BSTR copy = AllocBstr(text);
    if (!copy)
        throw std::bad_alloc();
    return copy;
}

PROPVARIANT ToPropVariant(const T7zVariant& value)
{
    PROPVARIANT result = EmptyPropVariant();
    if (const bool* flag = std::get_if<bool>(&value)) {
        result.vt = VT_BOOL;
        result.boolVal = *flag ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const std::uint32_t* number = std::get_if<std::uint32_t>(&value)) {
        result.vt = VT_UI4;
        result.ulVal = *number;
    } else if (const std::uint64_t* wide = std::get_if<std::uint64_t>(&value)) {
        result.vt = VT_UI8;
        result.uhVal = *wide;
    } else {
        result.bstrVal = NewBstr(std::get<std::u16string>(value));
        result.vt = VT_BSTR;
    }
    return result;
}

// The names and values of a SetProperties call, freed after it.
class PropertyArrays {
public:
    template <class Properties>
    explicit PropertyArrays(const Properties& properties)
    {
        for (const auto& [name, value] : properties) {
            m_names.push_back(WideFromUtf16(name));
            m_owners.emplace_back();
            m_owners.back().get() = ToPropVariant(value);
        }
        for (const std::wstring& name : m_names)
            m_namePointers.push_back(name.c_str());
        for (const PropVariantHolder& owner : m_owners)
            m_values.push_back(owner.get());
    }

    const wchar_t* const* names() const { return m_namePointers.data(); }
    const PROPVARIANT* values() const { return m_values.data(); }
    std::uint32_t count() const { return static_cast<std::uint32_t>(m_values.size()); }

private:
    std::vector<std::wstring> m_names;
    std::vector<const wchar_t*> m_namePointers;
    std::vector<PropVariantHolder> m_owners;
    // Shallow copies in one array, as the library takes them; m_owners frees the texts.
    std::vector<PROPVARIANT> m_values;
};

} // namespace

T7zOutArchive::T7zOutArchive(const std::string& libraryName) : T7zArchive(libraryName) {}

void* T7zOutArchive::findInterface(const GUID& iid)
{
    if (iid == IArchiveUpdateCallback::iid)
        return static_cast<IArchiveUpdateCallback*>(this);
    if (iid == ICryptoGetTextPassword2::iid)
        return static_cast<ICryptoGetTextPassword2*>(this);
    if (iid == I7zArchiveWriter::iid)
        return static_cast<I7zArchiveWriter*>(this);
    return T7zArchive::findInterface(iid);
}

void T7zOutArchive::AddStream(HeldStream stream, std::uint32_t attributes, FILETIME creationTime,
                              FILETIME lastWriteTime, std::u16string path, bool isDirectory, bool isAnti)
{
    T7zBatchItem item;
    item.kind = T7zSourceKind::Stream;
    item.size = stream ? static_cast<std::uint64_t>(stream->size()) : 0;
    item.stream = std::move(stream);
    item.attributes = attributes;
    item.creationTime = creationTime;
    item.lastWriteTime = lastWriteTime;
    item.path = WithSlashes(std::move(path));
    item.isDirectory = isDirectory;
    item.isAnti = isAnti;
    m_batch.push_back(std::move(item));
}

void T7zOutArchive::AddFile(const std::string& fileName, std::u16string path)
{
    const std::string name = WithSlashes(fileName);
    const auto info = ReadFileInfo(name);
    if (!info || !info->isRegular)
        return;
    T7zBatchItem item;
    item.kind = T7zSourceKind::File;
    item.fileName = name;
    item.path = WithSlashes(std::move(path));
    item.creationTime = info->creationTime;
    item.lastWriteTime = info->lastWriteTime;
    item.size = info->size;
    item.attributes = info->attributes;
    m_batch.push_back(std::move(item));
}

void T7zOutArchive::AddFiles(const std::string& directory, const std::string& path, const std::string& masks,
                             bool recurse)
{
    std::string base = WithSlashes(directory);
    if (base.empty() || base.back() != '/')
        base += '/';
    std::u16string prefix = Utf16FromUtf8(WithSlashes(path));
    if (!prefix.empty() && prefix.back() != u'/')
        prefix += u'/';
    for (FoundFile& found : FindFiles(base, SplitMasks(masks), recurse)) {
        T7zBatchItem item;
        item.kind = T7zSourceKind::File;
        item.fileName = std::move(found.fileName);
        item.path = prefix + Utf16FromUtf8(found.belowBase);
        item.creationTime = found.info.creationTime;
        item.lastWriteTime = found.info.lastWriteTime;
        item.attributes = found.info.attributes;
        item.size = found.info.size;
        m_batch.push_back(std::move(item));
    }
}

void T7zOutArchive::ClearBatch() { m_batch.clear(); }

void T7zOutArchive::SetProgressCallback(void* sender, T7zProgressCallback callback)
{
    m_progressSender = sender;
    m_progress = callback;
}

void T7zOutArchive::SetPassword(std::u16string password) { m_password = std::move(password); }

void T7zOutArchive::SetClassId(const GUID& classId) { setClassId(classId); }

GUID T7zOutArchive::GetClassId() { return classId(); }

IOutArchive& T7zOutArchive::outArchive()
{
    if (!m_outArchive) {
        void* object = nullptr;
        const HRESULT result = createObject(classId(), IOutArchive::iid, &object);
        if (result < 0)
            CheckHResult(result);
        if (!object)
            CheckHResult(E_NOINTERFACE);
        m_outArchive = ComPtr<IOutArchive>::adopt(static_cast<IOutArchive*>(object));
    }
    return *m_outArchive.get();
}

HRESULT T7zOutArchive::applyProperties(ISetProperties& setter, const std::vector<Property>& properties)
{
    const PropertyArrays arrays(properties);
    return setter.SetProperties(arrays.names(), arrays.values(), arrays.count());
}

void T7zOutArchive::SetProperty(std::u16string name, T7zVariant value)
{
    outArchive();
    const auto setter = m_outArchive.query<ISetProperties>();
    if (!setter)
        throw Error("Interface not supported");
    std::vector<Property> wanted = m_properties;
    const auto same = std::find_if(wanted.begin(), wanted.end(), [&](const Property& p) { return p.first == name; });
    if (same != wanted.end())
        same->second = std::move(value);
    else
        wanted.emplace_back(std::move(name), std::move(value));
    const HRESULT result = applyProperties(*setter.get(), wanted);
    if (result != S_OK) {
        // The failed call has reset the library's settings: give it back the ones kept.
        if (!m_properties.empty())
            applyProperties(*setter.get(), m_properties);
        CheckHResult(result);
    }
    m_properties = std::move(wanted);
}

void T7zOutArchive::SaveToFile(const std::string& fileName)
{
    // A failing update leaves a broken archive behind: it goes to a temporary
    // file, which replaces the target only when complete.
    AtomicFileWriter file(WithSlashes(fileName));
    SaveToStream(file.stream());
    file.commit();
}

void T7zOutArchive::SaveToStream(ByteStream& stream)
{
    const auto target = MakeCom<T7zStream>(HeldStream::referenced(stream), m_errors);
    const auto callback = ComPtr<IArchiveUpdateCallback>::share(this);
    IOutArchive& archive = outArchive();
    m_errors->take();
    const HRESULT result =
        archive.UpdateItems(target->outView(), static_cast<std::uint32_t>(m_batch.size()), callback.get());
    const auto message = m_errors->take();
    if (result != S_OK && message)
        throw Error(*message);
    CheckHResult(result);
}

} // namespace ordalis::sevenzip
