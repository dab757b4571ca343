#include "tools/common/Terminal.h"

#include "tools/common/TerminalInput.h"

#include <iostream>
#include <unistd.h>

namespace ordalis::tools {

Terminal ProcessTerminal()
{
    return Terminal{
        std::cin, std::cout, std::cerr, ::isatty(0) && ::isatty(2), ReadSecretFromTerminal, ReadAnswerFromTerminal};
}

} // namespace ordalis::tools
