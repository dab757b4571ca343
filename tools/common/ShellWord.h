#pragma once

#include <string>

namespace ordalis::tools {

// The text as one word of a POSIX shell command line: as it is when nothing in it
// is special to the shell, otherwise in single quotes.
std::string ShellWord(const std::string& text);

} // namespace ordalis::tools
