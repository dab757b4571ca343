#include "cryptomsg/CryptoRuntime.h"
#include "tools/cli/CliRunner.h"

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

// Reads a line from the controlling terminal with echo off.
std::optional<std::string> ReadSecretFromTty(const std::string& prompt)
{
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return std::nullopt;
    std::fputs(prompt.c_str(), tty);
    std::fflush(tty);
    termios saved{};
    const int fd = fileno(tty);
    const bool canHide = ::tcgetattr(fd, &saved) == 0;
    if (canHide) {
        termios hidden = saved;
        hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &hidden);
    }
    std::string line;
    bool ok = false;
    for (int c; (c = std::fgetc(tty)) != EOF;) {
        if (c == '\n') {
            ok = true;
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    if (canHide)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputs("\n", tty);
    std::fclose(tty);
    if (!ok && line.empty())
        return std::nullopt;
    return line;
}

} // namespace

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    // A file-size limit must fail the write, not kill the process.
    std::signal(SIGXFSZ, SIG_IGN);
    ordalis::EnsureGostEngine();
    ordalis::cli::Terminal terminal{std::cin, std::cout, std::cerr, ::isatty(0) && ::isatty(2), ReadSecretFromTty};
    const int status = ordalis::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), terminal);
    std::cout.flush();
    return status;
}
