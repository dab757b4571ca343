#pragma once

#include "sevenzip/Abi.h"
#include "sevenzip/Library.h"
#include "sevenzip/RefCounted.h"

#include <string>

namespace ordalis::sevenzip {

// A loaded 7-Zip library and its object factory.
class T7zPlugin : public T7zRefCounted {
public:
    // Loads the library and looks up "CreateObject". Throws "Error loading
    // library %s" or, with the library unloaded again, "%s is not a 7z library".
    explicit T7zPlugin(const std::string& libraryName);

protected:
    ~T7zPlugin() override = default;

    HRESULT createObject(const GUID& classId, const GUID& iid, void** object) const;
    const LoadedLibrary& library() const { return m_library; }
    const std::string& libraryName() const { return m_libraryName; }

private:
    std::string m_libraryName;
    LoadedLibrary m_library;
    CreateObjectFunc m_createObject = nullptr;
};

// A 7-Zip format library: one with "GetHandlerProperty" and the interface
// layout this binding is written for.
class T7zArchive : public T7zPlugin {
public:
    // Throws "%s is not a Format library" when "GetHandlerProperty" is missing,
    // and refuses a library of the older layout; the library is unloaded then.
    explicit T7zArchive(const std::string& libraryName);

protected:
    ~T7zArchive() override = default;

    const GUID& classId() const { return m_classId; }
    void setClassId(const GUID& classId) { m_classId = classId; }

private:
    // Looked up to recognise a format library; never called.
    GetHandlerPropertyFunc m_getHandlerProperty = nullptr;
    GUID m_classId{};
};

} // namespace ordalis::sevenzip
