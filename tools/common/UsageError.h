#pragma once

#include "common/Error.h"

namespace ordalis::tools {

// A mistake in the command line itself; the program follows its message with
// a pointer to its help.
class UsageError : public Error {
public:
    using Error::Error;
};

} // namespace ordalis::tools
