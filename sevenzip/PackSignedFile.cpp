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

} // namespace

std::string PackSignedFile(const std::string& sourceName, const std::string& signatureName,
                           const std::string& libraryName)
{
    using namespace sevenzip;
    const ComPtr<I7zArchiveWriter> writer = CreateOutArchive(CLSID_Format7z, libraryName);
    writer->AddFile(sourceName, BareName(sourceName));
    writer->AddFile(signatureName, BareName(signatureName));
    SetCompressionLevel(*writer.get(), kLevel);
    SetCompressionMethod(*writer.get(), kBzip2);
    const std::string archive = signatureName + ".7z";
    writer->SaveToFile(archive);
    return archive;
}

} // namespace ordalis
