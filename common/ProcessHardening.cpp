#include "common/ProcessHardening.h"

#include <sys/prctl.h>
#include <sys/resource.h>

namespace ordalis {

void DisableCoreDumps()
{
    // Both: a non-dumpable process writes no core even where the limit is raised
    // again later, and the zero limit holds for a child that runs another program.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

} // namespace ordalis
