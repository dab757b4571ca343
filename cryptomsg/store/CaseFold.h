#pragma once

#include <string>
#include <string_view>

namespace ordalis {

// UTF-8 text with every letter in lower case, in any script (Unicode simple
// case mapping), for case-insensitive comparison. Bytes that are not UTF-8 are
// kept as they are.
std::string FoldCase(std::string_view text);

} // namespace ordalis
