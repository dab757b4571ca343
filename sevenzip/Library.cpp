#include "sevenzip/Library.h"

#include "common/Error.h"

#include <dlfcn.h>
#include <utility>

namespace ordalis::sevenzip {

namespace {

// Debian's p7zip-full puts 7z.so in the first; others use the rest.
constexpr const char* kDistributionFolders[] = {"/usr/lib/p7zip/", "/usr/lib/7zip/", "/usr/libexec/p7zip/"};

// The library exports thousands of symbols of its own (C helpers, allocators,
// SysAllocString): it must bind to them, not to same-named ones of the program.
// The sanitizer runtime refuses RTLD_DEEPBIND, so sanitized builds go without it.
int OpenFlags()
{
#if defined(__SANITIZE_ADDRESS__)
    return RTLD_NOW | RTLD_LOCAL;
#else
    return RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
}

} // namespace

LoadedLibrary::LoadedLibrary(LoadedLibrary&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}

LoadedLibrary& LoadedLibrary::operator=(LoadedLibrary&& other) noexcept
{
    if (this != &other) {
        if (m_handle)
            ::dlclose(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

LoadedLibrary::~LoadedLibrary()
{
    if (m_handle)
        ::dlclose(m_handle);
}

LoadedLibrary LoadedLibrary::load(const std::string& name)
{
    if (!name.empty()) {
        if (void* handle = ::dlopen(name.c_str(), OpenFlags()))
            return LoadedLibrary(handle);
        if (name.find('/') == std::string::npos) {
            for (const char* folder : kDistributionFolders) {
                const std::string path = folder + name;
                if (void* handle = ::dlopen(path.c_str(), OpenFlags()))
                    return LoadedLibrary(handle);
            }
        }
    }
    throw Error("Error loading library " + name);
}

void* LoadedLibrary::symbol(const char* name) const { return m_handle ? ::dlsym(m_handle, name) : nullptr; }

} // namespace ordalis::sevenzip
