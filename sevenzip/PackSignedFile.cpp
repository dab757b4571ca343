#include "sevenzip/PackSignedFile.h"

#include "sevenzip/SevenZip.h"
#include "sevenzip/Utf16.h"

namespace ordalis {

namespace {

constexpr std::uint32_t kLevel = 5;
constexpr std::uint32_t kBzip2 = 2;

// The part after the last separator. A ":" is an ordinary character of a Linux
// file name, so it doesn't cut the name as a drive letter would.
std::u16string BareName(const std::string& path)
{
    const std::string slashed = sevenzip::WithSlashes(path);
    const auto slash = slashed.rfind('/');
    return sevenzip::Utf16FromUtf8(slash == std::string::npos ? slashed : slashed.substr(slash + 1));
}

sevenzip::HRESULT ForwardProgress(void* sender, bool isTotal, std::uint64_t value)
{
    (*static_cast<const PackProgress*>(sender))(isTotal, value);
    return 0;
}

} // namespace

std::string PackSignedFile(const std::string& sourceName, const std::string& signatureName,
                           const std::string& libraryName, const PackProgress& progress)
{
    using namespace sevenzip;
    const ComPtr<I7zArchiveWriter> writer = CreateOutArchive(CLSID_Format7z, libraryName);
    if (progress)
        writer->SetProgressCallback(const_cast<PackProgress*>(&progress), &ForwardProgress);
    writer->AddFile(sourceName, BareName(sourceName));
    writer->AddFile(signatureName, BareName(signatureName));
    SetCompressionLevel(*writer.get(), kLevel);
    SetCompressionMethod(*writer.get(), kBzip2);
    const std::string archive = signatureName + ".7z";
    writer->SaveToFile(archive);
    return archive;
}

} // namespace ordalis
