#pragma once

#include <string>
#include <termios.h>

namespace ordalis {

// When the process is interrupted (SIGINT, SIGTERM, SIGHUP), removes the named
// temporary files of unfinished outputs and gives the terminal its settings
// back, then ends the process as the signal would have. A file-size limit
// (SIGXFSZ) is ignored so that the write fails instead of killing the process.
// Called once by each program's main.
void InstallProcessSignalHandling();

// Marks a temporary file for removal should the process be interrupted while it lives.
class RemoveOnInterrupt {
public:
    explicit RemoveOnInterrupt(const std::string& path);
    RemoveOnInterrupt(const RemoveOnInterrupt&) = delete;
    RemoveOnInterrupt& operator=(const RemoveOnInterrupt&) = delete;
    ~RemoveOnInterrupt();

private:
    int m_slot;
};

// Gives the terminal fd its saved settings back should the process be
// interrupted while this lives (a password prompt with the echo off).
class RestoreTerminalOnInterrupt {
public:
    RestoreTerminalOnInterrupt(int fd, const termios& saved);
    RestoreTerminalOnInterrupt(const RestoreTerminalOnInterrupt&) = delete;
    RestoreTerminalOnInterrupt& operator=(const RestoreTerminalOnInterrupt&) = delete;
    ~RestoreTerminalOnInterrupt();
};

} // namespace ordalis
