#pragma once

// What form a message file is in, decided from what it holds rather than from
// a mark that the bytes of another form may happen to contain: a DER message
// may begin with the bytes "MI" and may carry any text, PEM blocks included.

#include <span>

namespace ordalis {

// Whether bytes are exactly one ContentInfo (DER, or BER with definite or
// indefinite lengths) and nothing after it.
bool IsWholeContentInfo(std::span<const unsigned char> bytes);

// Whether bytes begin, after optional white space or a UTF-8 byte-order mark,
// with a PEM header line ("-----BEGIN ").
bool BeginsAsPem(std::span<const unsigned char> bytes);

// Whether a file whose first line holds "MI" (firstLineArmoured) is read as
// Base64 armour: only when it is not a whole message as it stands.
bool ReadsAsArmour(bool firstLineArmoured, std::span<const unsigned char> bytes);

} // namespace ordalis
