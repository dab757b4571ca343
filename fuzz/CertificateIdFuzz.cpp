// Certificate IDs (serial number, thumbprint or a part of the subject) of
// arbitrary text against a personal store of the committed identities, one of
// them with a Cyrillic name.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace ordalis;

namespace {

HCERTSTORE MakeStore()
{
    fuzz::ScratchFolder();
    const PasswordSource noPassword = [](const std::string&, int) { return std::optional<std::string>(); };
    for (const auto& entry : std::filesystem::directory_iterator(ORDALIS_FUZZ_KEYS))
        if (entry.path().extension() == ".pem")
            ImportFile(entry.path().string(), noPassword);
    HCERTSTORE store = CertOpenSystemStoreA(nullptr, kPersonalStore);
    fuzz::Require(store != nullptr);
    return store;
}

// Open for the whole run and never closed, as in the decryption target: its
// keys belong to the GOST engine, which must free nothing after OpenSSL's clean-up.
HCERTSTORE Store()
{
    static HCERTSTORE const store = MakeStore();
    return store;
}

// The other case of each Latin and Cyrillic letter (UTF-8), other bytes as they are.
std::string SwapCase(const std::string& text)
{
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        unsigned char& c = reinterpret_cast<unsigned char&>(out[i]);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            c ^= 0x20;
            continue;
        }
        if (i + 1 >= out.size() || (c != 0xD0 && c != 0xD1))
            continue;
        unsigned code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(out[i + 1]) & 0x3Fu);
        if ((static_cast<unsigned char>(out[i + 1]) & 0xC0) != 0x80)
            continue;
        if (code >= 0x410 && code <= 0x42F)
            code += 0x20; // А..Я
        else if (code >= 0x430 && code <= 0x44F)
            code -= 0x20;
        else if (code >= 0x400 && code <= 0x40F)
            code += 0x50; // Ѐ..Џ, Ё among them
        else if (code >= 0x450 && code <= 0x45F)
            code -= 0x50;
        c = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[i + 1] = static_cast<char>(0x80 | (code & 0x3F));
        ++i;
    }
    return out;
}

using Encoding = std::basic_string<BYTE>;

Encoding EncodingOf(PCCERT_CONTEXT context) { return Encoding(context->pbCertEncoded, context->cbCertEncoded); }

std::vector<Encoding> Encodings(const std::vector<CertContextPtr>& found)
{
    std::vector<Encoding> encodings;
    for (const CertContextPtr& context : found)
        encodings.push_back(EncodingOf(context.get()));
    return encodings;
}

// Matches are certificates of the store, each once, in the store's order.
void RequireInStoreOrder(const std::vector<CertContextPtr>& found)
{
    std::size_t next = 0;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(Store(), context)) != nullptr)
        if (next < found.size() && EncodingOf(found[next].get()) == EncodingOf(context))
            ++next;
    fuzz::Require(next == found.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    Store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string id(reinterpret_cast<const char*>(data), size);
    const std::vector<CertContextPtr> found = FindCertificates(Store(), id);
    RequireInStoreOrder(found);
    // Case does not matter, in either script.
    fuzz::Require(Encodings(FindCertificates(Store(), SwapCase(id))) == Encodings(found));

    bool one = true;
    try {
        FindOneCertificate(Store(), id);
    } catch (const std::exception&) {
        one = false;
    }
    fuzz::Require(one == (found.size() == 1));
    return 0;
}
