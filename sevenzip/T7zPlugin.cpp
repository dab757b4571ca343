#include "sevenzip/T7zPlugin.h"

#include "common/Error.h"
#include "sevenzip/PropVariant.h"

namespace ordalis::sevenzip {

namespace {

// Libraries before GetModuleProp (p7zip 16.02 and older) compile the interfaces
// with a virtual destructor, which puts two more slots before the methods:
// calling them with this layout would crash, so such a library is refused.
// The current layout answers GetModuleProp(0) with VT_UI4 0.
void CheckInterfaceLayout(const LoadedLibrary& library, const std::string& name)
{
    const auto getModuleProp = reinterpret_cast<GetModulePropFunc>(library.symbol("GetModuleProp"));
    PropVariantHolder layout;
    const bool known = getModuleProp && getModuleProp(0, &layout.get()) == S_OK && layout.get().vt == VT_UI4 &&
                       layout.get().ulVal == 0;
    if (!known)
        throw Error(name + " is a 7z library of an unsupported older version");
}

} // namespace

T7zPlugin::T7zPlugin(const std::string& libraryName)
    : m_libraryName(libraryName), m_library(LoadedLibrary::load(libraryName))
{
    m_createObject = reinterpret_cast<CreateObjectFunc>(m_library.symbol("CreateObject"));
    if (!m_createObject)
        throw Error(libraryName + " is not a 7z library");
}

HRESULT T7zPlugin::createObject(const GUID& classId, const GUID& iid, void** object) const
{
    return m_createObject(&classId, &iid, object);
}

T7zArchive::T7zArchive(const std::string& libraryName) : T7zPlugin(libraryName)
{
    m_getHandlerProperty = reinterpret_cast<GetHandlerPropertyFunc>(library().symbol("GetHandlerProperty"));
    if (!m_getHandlerProperty)
        throw Error(libraryName + " is not a Format library");
    CheckInterfaceLayout(library(), libraryName);
}

} // namespace ordalis::sevenzip
