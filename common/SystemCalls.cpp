#include "SystemCalls.h"

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace sys
{
namespace
{
// open is variadic; the seam takes its mode always.
int OpenFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
}  // namespace

CSystemCalls& Calls()
{
    static CSystemCalls calls{::read,    ::write,   ::fsync, ::rename,      ::socket,
                              ::connect, ::send,    ::recv,  OpenFile,      ::mkdir,
                              ::getaddrinfo, ::curl_easy_perform};
    return calls;
}
}  // namespace sys
