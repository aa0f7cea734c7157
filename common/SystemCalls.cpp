#include "SystemCalls.h"

#include <cstdio>

#include <unistd.h>

namespace sys
{
CSystemCalls& Calls()
{
    static CSystemCalls calls{::read, ::write, ::fsync, ::rename, ::socket, ::connect, ::send, ::recv, ::curl_easy_perform};
    return calls;
}
}  // namespace sys
