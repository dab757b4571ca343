#include "cryptomsg/cryptoapi/GostAlgorithms.h"

#include <openssl/obj_mac.h>

#include <algorithm>
#include <cstring>

namespace ordalis {

namespace {

// Kuznyechik and Magma are not offered as content ciphers: the engine corrupts
// CMS content longer than one key section with them.
constexpr GostAlgorithm kRows[] = {
    {"1.2.643.2.2.19", NID_id_GostR3410_2001, "ГОСТ Р 34.10-2001", "1.2.643.2.2.9", "md_gost94", "1.2.643.2.2.3",
     "ГОСТ Р 34.11-94/34.10-2001", NID_id_Gost28147_89},
    {"1.2.643.7.1.1.1.1", NID_id_GostR3410_2012_256, "ГОСТ Р 34.10-2012 256 бит", "1.2.643.7.1.1.2.2", "md_gost12_256",
     "1.2.643.7.1.1.3.2", "ГОСТ Р 34.11-2012/34.10-2012 256 бит", NID_id_Gost28147_89},
    {"1.2.643.7.1.1.1.2", NID_id_GostR3410_2012_512, "ГОСТ Р 34.10-2012 512 бит", "1.2.643.7.1.1.2.3", "md_gost12_512",
     "1.2.643.7.1.1.3.3", "ГОСТ Р 34.11-2012/34.10-2012 512 бит", NID_id_Gost28147_89},
};

constexpr char kGostArc[] = "1.2.643.";

bool Same(const char* a, const char* b) { return a && std::strcmp(a, b) == 0; }

template <class Matches>
const GostAlgorithm* FindRow(Matches matches)
{
    const auto* row = std::find_if(std::begin(kRows), std::end(kRows), matches);
    return row == std::end(kRows) ? nullptr : row;
}

} // namespace

std::span<const GostAlgorithm> GostAlgorithms() { return kRows; }

const GostAlgorithm* GostAlgorithmForKey(const char* keyOid)
{
    return FindRow([keyOid](const GostAlgorithm& row) { return Same(keyOid, row.keyOid); });
}

const GostAlgorithm* GostAlgorithmForKeyNid(int keyNid)
{
    return FindRow([keyNid](const GostAlgorithm& row) { return row.keyNid == keyNid; });
}

const char* GostAlgorithmName(const char* oid)
{
    if (const GostAlgorithm* key = GostAlgorithmForKey(oid))
        return key->keyName;
    const GostAlgorithm* signature = FindRow([oid](const GostAlgorithm& row) { return Same(oid, row.signatureOid); });
    return signature ? signature->signatureName : nullptr;
}

bool IsInGostArc(const char* oid) { return oid && std::strncmp(oid, kGostArc, sizeof kGostArc - 1) == 0; }

} // namespace ordalis
