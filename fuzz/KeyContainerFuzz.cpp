// The files of a vendor CSP key container folder, decoded, checked and opened
// with the empty PIN as an import does.
//
// The input holds the files one after another, each introduced by a line
// "@@ NAME" with NAME one of header.key, name.key, masks.key, primary.key,
// masks2.key, primary2.key; other names are ignored. The seeds are containers
// that ordalis-store export wrote without a PIN, so that they open.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/KeyContainerReader.h"
#include "fuzz/FuzzSupport.h"

#include <openssl/err.h>
#include <openssl/x509.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace ordalis;

namespace {

constexpr std::string_view kSeparator = "@@ ";

std::optional<SecureBytes>* Slot(KeyContainerFiles& files, std::string_view name)
{
    if (name == "header.key")
        return &files.header;
    if (name == "name.key")
        return &files.name;
    if (name == "masks.key")
        return &files.masks;
    if (name == "primary.key")
        return &files.primary;
    if (name == "masks2.key")
        return &files.masks2;
    if (name == "primary2.key")
        return &files.primary2;
    return nullptr;
}

KeyContainerFiles SplitFiles(std::string_view input)
{
    KeyContainerFiles files;
    while (input.substr(0, kSeparator.size()) == kSeparator) {
        input.remove_prefix(kSeparator.size());
        const std::size_t end = input.find('\n');
        const std::string_view name = input.substr(0, end);
        input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        const std::size_t next = input.find(std::string("\n").append(kSeparator));
        const std::string_view content = input.substr(0, next);
        if (std::optional<SecureBytes>* slot = Slot(files, name))
            *slot = SecureBytes(content.begin(), content.end());
        input.remove_prefix(next == std::string_view::npos ? input.size() : next + 1);
    }
    return files;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const KeyContainerFiles files = SplitFiles({reinterpret_cast<const char*>(data), size});
    try {
        const KeyContainer container = ParseKeyContainer(files);
        // What parsed is complete: a key copy to open and a fingerprint to check it by.
        fuzz::Require(!container.copies.empty() && container.keyNid != 0);
        EvpPkeyPtr key;
        if (OpenKeyContainer(container, {}, key) == KeyOpen::Ok) {
            // An opened key is whole: it has the container's algorithm and, with its
            // public key, it encodes.
            fuzz::Require(key && EVP_PKEY_get_base_id(key.get()) == container.keyNid);
            unsigned char* der = nullptr;
            const int length = i2d_PUBKEY(key.get(), &der);
            fuzz::Require(length > 0);
            OPENSSL_free(der);
        }
    } catch (const std::exception&) {
        // Refused with a message: what most inputs get.
    }
    ERR_clear_error();
    return 0;
}
