#pragma once

#include "sevenzip/CallbackError.h"
#include "sevenzip/ComPtr.h"
#include "sevenzip/I7zArchiveWriter.h"
#include "sevenzip/T7zBatchItem.h"
#include "sevenzip/T7zPlugin.h"

#include <memory>
#include <utility>
#include <vector>

namespace ordalis::sevenzip {

// The archive writer: queues items and properties and, at a save, answers the
// library's questions about the items during its single update pass. Those
// answers may come on the library's worker threads; they only read the batch.
class T7zOutArchive final : public T7zArchive,
                            public IArchiveUpdateCallback,
                            public ICryptoGetTextPassword2,
                            public I7zArchiveWriter {
public:
    explicit T7zOutArchive(const std::string& libraryName);

    HRESULT QueryInterface(const GUID& iid, void** object) override
    {
        return T7zRefCounted::QueryInterface(iid, object);
    }
    std::uint32_t AddRef() override { return T7zRefCounted::AddRef(); }
    std::uint32_t Release() override { return T7zRefCounted::Release(); }

    // Answers to the library.
    HRESULT SetTotal(std::uint64_t total) override;
    HRESULT SetCompleted(const std::uint64_t* completeValue) override;
    HRESULT GetUpdateItemInfo(std::uint32_t index, std::int32_t* newData, std::int32_t* newProperties,
                              std::uint32_t* indexInArchive) override;
    HRESULT GetProperty(std::uint32_t index, PROPID propId, PROPVARIANT* value) override;
    HRESULT GetStream(std::uint32_t index, ISequentialInStream** inStream) override;
    HRESULT SetOperationResult(std::int32_t result) override;
    HRESULT CryptoGetTextPassword2(std::int32_t* passwordIsDefined, BSTR* password) override;

    // I7zArchiveWriter.
    void AddStream(HeldStream stream, std::uint32_t attributes, FILETIME creationTime, FILETIME lastWriteTime,
                   std::u16string path, bool isDirectory, bool isAnti) override;
    void AddFile(const std::string& fileName, std::u16string path) override;
    void AddFiles(const std::string& directory, const std::string& path, const std::string& masks,
                  bool recurse) override;
    void SaveToFile(const std::string& fileName) override;
    void SaveToStream(ByteStream& stream) override;
    void SetProgressCallback(void* sender, T7zProgressCallback callback) override;
    void ClearBatch() override;
    void SetPassword(std::u16string password) override;
    void SetProperty(std::u16string name, T7zVariant value) override;
    void SetClassId(const GUID& classId) override;
    GUID GetClassId() override;

    const std::vector<T7zBatchItem>& batch() const { return m_batch; }

private:
    using Property = std::pair<std::u16string, T7zVariant>;

    // Releases the library's archive object, then the batch, then unloads the library.
    ~T7zOutArchive() override = default;
    void* findInterface(const GUID& iid) override;

    // The library's archive object for the class id, created at first need.
    IOutArchive& outArchive();
    // Hands the library every property in one call.
    static HRESULT applyProperties(ISetProperties& setter, const std::vector<Property>& properties);
    HRESULT reportProgress(bool isTotal, std::uint64_t value);
    const T7zBatchItem* itemAt(std::uint32_t index) const;
    ComPtr<ISequentialInStream> openItemStream(const T7zBatchItem& item);

    std::vector<T7zBatchItem> m_batch;
    ComPtr<IOutArchive> m_outArchive;
    T7zProgressCallback m_progress = nullptr;
    void* m_progressSender = nullptr;
    std::u16string m_password;
    std::vector<Property> m_properties;
    std::shared_ptr<CallbackError> m_errors = std::make_shared<CallbackError>();
};

} // namespace ordalis::sevenzip
