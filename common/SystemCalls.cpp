#include "SystemCalls.h"

#include <cstdio>

#include <unistd.h>

namespace sys
{
CSystemCalls& Calls()
{
    static CSystemCalls calls{::read, ::write, ::fsync, ::rename};
    return calls;
}
}  // namespace sys
