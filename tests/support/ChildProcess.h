#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace ordalis::test {

// Runs body (returning an exit code) in a forked child, so that the test
// process keeps its own limits and settings; returns the child's wait status.
template <class Body>
int WaitStatusOfChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

} // namespace ordalis::test
