#pragma once

#include "common/ByteStream.h"
#include "common/FileTime.h"
#include "sevenzip/HeldStream.h"
#include "sevenzip/Interfaces.h"

#include <cstdint>
#include <string>
#include <variant>

namespace ordalis::sevenzip {

// Called with isTotal true and the total size once, then with the bytes done
// so far; its result goes back to the library (anything but 0 stops the save).
// The library calls it on its worker threads.
using T7zProgressCallback = HRESULT (*)(void* sender, bool isTotal, std::uint64_t value);

// A property value: VT_BOOL, VT_UI4, VT_UI8 or VT_BSTR.
using T7zVariant = std::variant<bool, std::uint32_t, std::uint64_t, std::u16string>;

// The archive writer's own interface. Failures are raised as ordalis::Error.
// Disk names are UTF-8 with "/" or "\" separators; archive paths are UTF-16.
class I7zArchiveWriter : public IUnknown {
public:
    static constexpr GUID iid = {0xBAA9D5DC, 0x9FF4, 0x4382, {0x9B, 0xFD, 0xEC, 0x90, 0x65, 0xBD, 0x01, 0x25}};

    // Queues a stream's data; an owned stream is freed with the item.
    virtual void AddStream(HeldStream stream, std::uint32_t attributes, FILETIME creationTime, FILETIME lastWriteTime,
                           std::u16string path, bool isDirectory, bool isAnti) = 0;
    // Queues a file under path; a missing name or a folder adds nothing and says nothing.
    virtual void AddFile(const std::string& fileName, std::u16string path) = 0;
    // Queues the files under directory that the masks find (see FindFiles), each
    // under its path below directory, prefixed with path when that isn't empty.
    virtual void AddFiles(const std::string& directory, const std::string& path, const std::string& masks,
                          bool recurse) = 0;
    // Writes the archive to a temporary file beside fileName, which replaces
    // fileName only when the whole archive is written.
    virtual void SaveToFile(const std::string& fileName) = 0;
    virtual void SaveToStream(ByteStream& stream) = 0;
    virtual void SetProgressCallback(void* sender, T7zProgressCallback callback) = 0;
    // Empties the batch, freeing the owned streams.
    virtual void ClearBatch() = 0;
    // An empty password means no encryption.
    virtual void SetPassword(std::u16string password) = 0;
    // The library forgets earlier properties at each call, so the writer hands
    // it every property set so far, in the order first set; setting a name
    // again replaces its value.
    virtual void SetProperty(std::u16string name, T7zVariant value) = 0;
    // Must come before the first SetProperty or save, which create the library's archive object.
    virtual void SetClassId(const GUID& classId) = 0;
    virtual GUID GetClassId() = 0;

protected:
    ~I7zArchiveWriter() = default;
};

} // namespace ordalis::sevenzip
