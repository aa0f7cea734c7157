#include "SystemCalls.h"

#include <cstdio>

#include <unistd.h>

namespace sys
{
CSystemCalls& Calls()
{
    static CSystemCalls calls{::read, ::write, ::fsync, ::rename, ::socket, ::connect, ::send, ::recv};
    return calls;
}
}  // namespace sys
