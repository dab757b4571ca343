#pragma once

#include <string>

namespace ordalis::sevenzip {

// A shared library loaded at run time; unloaded when this goes.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    LoadedLibrary(LoadedLibrary&& other) noexcept;
    LoadedLibrary& operator=(LoadedLibrary&& other) noexcept;
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary();

    // Loads name: a bare file name through the system's standard search first,
    // then from the folders the distributions install the 7-Zip library in; a
    // name with a folder part only as given. Throws "Error loading library %s".
    static LoadedLibrary load(const std::string& name);

    // The address of an export, or nullptr.
    void* symbol(const char* name) const;

    explicit operator bool() const { return m_handle != nullptr; }

private:
    explicit LoadedLibrary(void* handle) : m_handle(handle) {}

    void* m_handle = nullptr;
};

} // namespace ordalis::sevenzip
