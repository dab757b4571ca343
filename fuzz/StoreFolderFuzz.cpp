// A personal store folder of arbitrary files, read as the programs read it:
// the certificates paired with their keys, described, and each key acquired.
//
// The input holds the files one after another, each introduced by a line
// "@@ NAME" (see SplitFiles); text before the first such line is a file "input".

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "fuzz/FuzzDesktop.h"
#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/KeyDerivationCost.h"

#include <openssl/err.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace ordalis;

namespace {

constexpr std::string_view kSeparator = "\n@@ ";
constexpr std::size_t kMaxFiles = 4;

std::string StoreFolder() { return fuzz::ScratchFolder() + "/ordalis/certstore/MY"; }

// A usable file name from the bytes: letters, digits, '.', '-' and '_' only;
// "." and ".." and the empty name become "f".
std::string FileName(std::string_view raw)
{
    std::string name;
    for (const char c : raw.substr(0, 40))
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
            c == '_')
            name += c;
    return name.empty() || name == "." || name == ".." ? "f" : name;
}

std::vector<std::pair<std::string, std::string_view>> SplitFiles(std::string_view input)
{
    std::vector<std::pair<std::string, std::string_view>> files;
    std::string_view rest = input;
    std::string name = "input";
    if (rest.substr(0, 3) == kSeparator.substr(1)) {
        rest.remove_prefix(3);
        name.clear();
    }
    while (files.size() < kMaxFiles) {
        if (name.empty()) {
            const std::size_t end = rest.find('\n');
            name = FileName(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        }
        const std::size_t next = rest.find(kSeparator);
        files.emplace_back(name, rest.substr(0, next));
        if (next == std::string_view::npos)
            break;
        rest.remove_prefix(next + kSeparator.size());
        name.clear();
    }
    return files;
}

bool SameKeyRef(const std::optional<StoreKeyRef>& a, const std::optional<StoreKeyRef>& b)
{
    if (!a || !b)
        return a.has_value() == b.has_value();
    return a->file == b->file && a->block == b->block && a->form == b->form && a->isProtected == b->isProtected;
}

// Reading the same folder twice gives the same store, in the same order.
void RequireSame(const StoreContent& a, const StoreContent& b)
{
    fuzz::Require(a.entries.size() == b.entries.size() && a.problems == b.problems);
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        fuzz::Require(X509_cmp(a.entries[i].certificate.get(), b.entries[i].certificate.get()) == 0);
        fuzz::Require(a.entries[i].file == b.entries[i].file && SameKeyRef(a.entries[i].key, b.entries[i].key));
    }
}

// Each certificate is listed once, and keys lie in the folder's files.
void RequireWellFormed(const StoreContent& content, const std::string& folder)
{
    for (std::size_t i = 0; i < content.entries.size(); ++i) {
        const StoreEntry& entry = content.entries[i];
        fuzz::Require(entry.file.rfind(folder + "/", 0) == 0);
        fuzz::Require(!entry.key || entry.key->file.rfind(folder + "/", 0) == 0);
        for (std::size_t j = i + 1; j < content.entries.size(); ++j)
            fuzz::Require(X509_cmp(entry.certificate.get(), content.entries[j].certificate.get()) != 0);
    }
}

void AcquireEach(HCERTSTORE store)
{
    fuzz::FuzzDesktop desktop;
    const ScopedPasswordPrompt prompt(desktop);
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr) {
        DescribeCertificate(context);
        const bool hasKey = CertHasPrivateKey(context);
        const StoreEntry* entry = FindStoreEntry(context);
        fuzz::Require(entry && hasKey == entry->key.has_value());
        HCRYPTPROV provider = nullptr;
        if (CryptAcquireCertificatePrivateKey(context, 0, nullptr, &provider, nullptr, nullptr)) {
            fuzz::Require(hasKey && provider != nullptr);
            CryptReleaseContext(provider, 0);
        }
        ERR_clear_error();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    fuzz::ScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto files = SplitFiles({reinterpret_cast<const char*>(data), size});
    for (const auto& [name, content] : files)
        if (!fuzz::CheapToOpen({reinterpret_cast<const unsigned char*>(content.data()), content.size()},
                               {nullptr, "", "fuzz"}))
            return 0;
    const std::string folder = StoreFolder();
    fuzz::ResetFolder(folder);
    for (const auto& [name, content] : files)
        fuzz::WriteFile(folder + "/" + name, content);

    // The store reads the folder as it opens; a second reading gives the same.
    const CertStorePtr store(CertOpenSystemStoreA(nullptr, kPersonalStore));
    fuzz::Require(store != nullptr);
    RequireWellFormed(store->content, folder);
    RequireSame(store->content, ReadStoreContent(folder));
    AcquireEach(store.get());
    return 0;
}
