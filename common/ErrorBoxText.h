#pragma once

#include <string>

namespace ordalis {

// The error box's text for an error's message: a "." is added when the message
// ends in a byte that sorts after "." (so "File not found" gains one, while a
// text ending in "." or a blank does not).
std::string ErrorBoxText(const std::string& message);

} // namespace ordalis
