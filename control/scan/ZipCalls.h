#pragma once

#include <zip.h>

// The libzip calls whose failures a test cannot provoke with a crafted archive (memory,
// a name that cannot be decoded). Tests swap entries and restore them.
namespace zipsys
{
struct CZipCalls
{
    zip_t* (*fdopen)(int fd, int flags, int* error);
    const char* (*getName)(zip_t* archive, zip_uint64_t index, zip_flags_t flags);
};

CZipCalls& Calls();

inline zip_t* fdopen(int fd, int flags, int* error) { return Calls().fdopen(fd, flags, error); }
inline const char* getName(zip_t* archive, zip_uint64_t index, zip_flags_t flags)
{
    return Calls().getName(archive, index, flags);
}
}  // namespace zipsys
