#pragma once

#include <cstddef>
#include <sys/types.h>

// The system calls that can fail in ways a test cannot provoke from outside. Each goes
// through a replaceable function so that a test can make it fail.
namespace sys
{
struct CSystemCalls
{
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* buffer, size_t size);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
};

// The calls in use; tests swap entries and restore them.
CSystemCalls& Calls();

inline ssize_t read(int fd, void* buffer, size_t size) { return Calls().read(fd, buffer, size); }
inline ssize_t write(int fd, const void* buffer, size_t size) { return Calls().write(fd, buffer, size); }
inline int fsync(int fd) { return Calls().fsync(fd); }
inline int rename(const char* from, const char* to) { return Calls().rename(from, to); }
}  // namespace sys
