#pragma once

#include <string>
#include <vector>

namespace ordalis::bench {

// What one process cost: wall-clock seconds and its own peak resident memory.
struct ProcessCost {
    double seconds = 0;
    long peakKiB = 0;
    bool succeeded = false;
};

// Starts a program (looked up in PATH) with its output and errors sent to
// logPath, waits for it, and measures it alone: wait4 gives that child's usage.
ProcessCost RunProcess(const std::vector<std::string>& argv, const std::string& logPath);

} // namespace ordalis::bench
