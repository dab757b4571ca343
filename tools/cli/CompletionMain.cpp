// Writes ordalis-cli's bash completion script to the file named by its argument;
// run by the build, not installed.

#include "tools/cli/CompletionScript.h"

#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: ordalis-cli-completion OUTPUT\n";
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << ordalis::cli::CompletionScript();
    out.close();
    if (!out) {
        std::cerr << "ordalis-cli-completion: cannot write " << argv[1] << "\n";
        return 2;
    }
    return 0;
}
