#include "sevenzip/SevenZip.h"

#include "common/Error.h"
#include "common/SystemError.h"
#include "sevenzip/T7zOutArchive.h"

namespace ordalis::sevenzip {

ComPtr<I7zArchiveWriter> CreateOutArchive(const GUID& classId, const std::string& libraryName)
{
    ComPtr<I7zArchiveWriter> writer = MakeCom<T7zOutArchive>(libraryName).query<I7zArchiveWriter>();
    writer->SetClassId(classId);
    return writer;
}

void SetCardinalProperty(I7zArchiveWriter& writer, std::u16string name, std::uint32_t value)
{
    writer.SetProperty(std::move(name), T7zVariant(value));
}

void SetCompressionLevel(I7zArchiveWriter& writer, std::uint32_t level) { SetCardinalProperty(writer, u"X", level); }

void SetCompressionMethod(I7zArchiveWriter& writer, std::uint32_t method)
{
    if (method >= kCompressionMethods.size())
        CheckHResult(E_INVALIDARG);
    writer.SetProperty(u"0", T7zVariant(std::u16string(kCompressionMethods[method])));
}

void CheckHResult(HRESULT code)
{
    if (code != S_OK)
        throw Error(SystemErrorText(static_cast<std::uint32_t>(code)));
}

} // namespace ordalis::sevenzip
