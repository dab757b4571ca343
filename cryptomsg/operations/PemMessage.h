#pragma once

#include <optional>
#include <span>
#include <vector>

namespace ordalis {

// The DER of a message in PEM armour ("-----BEGIN CMS-----", "-----BEGIN PKCS7-----"):
// the first such block; nothing when the bytes do not begin as PEM or hold no such block.
std::optional<std::vector<unsigned char>> PemMessageDer(std::span<const unsigned char> bytes);

} // namespace ordalis
