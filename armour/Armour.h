#pragma once

#include "common/ByteStream.h"

#include <cstddef>

namespace ordalis {

// Base64 (RFC 4648, standard alphabet, "=" padding) laid out in lines of 76
// characters, each full line followed by CR LF, a shorter last line by nothing.
//
// Both operations read the input from its current position to its end and
// write to the output from its current position on; neither rewinds a stream.
// They allocate nothing and never fail on content; stream errors pass through.

// Writes the Base64 text of the input's bytes to the output.
void ArmourEncode(ByteStream& in, ByteStream& out);

// Writes the bytes carried by the input's Base64 characters to the output.
// Every byte outside the alphabet and "=" is ignored wherever it stands, and
// each group of four is decoded by itself, so joined encodings decode to
// their data joined. The input must allow stepping back by one byte.
void ArmourDecode(ByteStream& in, ByteStream& out);

// Writes the four characters of a group of count (1 to 3) bytes to chars;
// bytes beyond count are never read and a short group is padded with "=".
void EncodeGroup(const unsigned char* group, std::size_t count, char* chars);

} // namespace ordalis
