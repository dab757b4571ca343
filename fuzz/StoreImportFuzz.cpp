// Import of an arbitrary file into a personal store that already holds one
// certificate (so that a key file alone finds its certificate), with a password
// source that answers "fuzz", then "", then gives up.

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "fuzz/FuzzDesktop.h"
#include "fuzz/FuzzScratch.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/KeyDerivationCost.h"

#include <openssl/err.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

using namespace ordalis;

namespace {

std::string StoreFolder() { return fuzz::ScratchFolder() + "/ordalis/certstore/MY"; }
std::string InputFile() { return fuzz::ScratchFolder() + "/input"; }

// The certificate block of the first committed identity (fuzz/keys, named by ORDALIS_FUZZ_KEYS).
const std::string& StoredCertificate()
{
    static const std::string text = [] {
        std::ifstream in(std::string(ORDALIS_FUZZ_KEYS) + "/gost2012_256.pem");
        std::stringstream all;
        all << in.rdbuf();
        const std::string pem = all.str();
        const std::string end = "-----END CERTIFICATE-----\n";
        const std::size_t at = pem.find(end);
        fuzz::Require(at != std::string::npos);
        return pem.substr(0, at + end.size());
    }();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    fuzz::ScratchFolder();
    StoredCertificate();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (!fuzz::CheapToOpen({data, size}, {nullptr, "", "fuzz"}))
        return 0;
    fuzz::ResetFolder(StoreFolder());
    fuzz::WriteFile(StoreFolder() + "/stored.crt", StoredCertificate());
    fuzz::WriteFile(InputFile(), data, size);

    const PasswordSource answer = [](const std::string&, int attempt) { return fuzz::SeedPassword(attempt); };
    bool imported = false;
    try {
        imported = !ImportFile(InputFile(), answer).empty();
    } catch (const std::exception&) {
        // Refused with a message: what most inputs get.
    }
    // No error is left queued for the next call, and what an import writes reads back
    // without a problem: a key it keeps is a key the store can pair and open.
    fuzz::Require(ERR_peek_error() == 0);
    const StoreListing listing = ListStore();
    fuzz::Require(!imported || listing.problems.empty());
    return 0;
}
