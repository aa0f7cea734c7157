#pragma once

#include <cstddef>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <curl/curl.h>

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
    int (*socket)(int domain, int type, int protocol);
    int (*connect)(int fd, const sockaddr* address, socklen_t length);
    ssize_t (*send)(int fd, const void* buffer, size_t size, int flags);
    ssize_t (*recv)(int fd, void* buffer, size_t size, int flags);
    int (*open)(const char* path, int flags, mode_t mode);
    int (*mkdir)(const char* path, mode_t mode);
    int (*getaddrinfo)(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
    // Every HTTP request of the program is one libcurl perform through here.
    CURLcode (*curl_perform)(CURL* handle);
};

// The calls in use; tests swap entries and restore them.
CSystemCalls& Calls();

inline ssize_t read(int fd, void* buffer, size_t size) { return Calls().read(fd, buffer, size); }
inline ssize_t write(int fd, const void* buffer, size_t size) { return Calls().write(fd, buffer, size); }
inline int fsync(int fd) { return Calls().fsync(fd); }
inline int rename(const char* from, const char* to) { return Calls().rename(from, to); }
inline int socket(int domain, int type, int protocol) { return Calls().socket(domain, type, protocol); }
inline int connect(int fd, const sockaddr* address, socklen_t length) { return Calls().connect(fd, address, length); }
inline ssize_t send(int fd, const void* buffer, size_t size, int flags) { return Calls().send(fd, buffer, size, flags); }
inline ssize_t recv(int fd, void* buffer, size_t size, int flags) { return Calls().recv(fd, buffer, size, flags); }
inline int open(const char* path, int flags, mode_t mode = 0) { return Calls().open(path, flags, mode); }
inline int mkdir(const char* path, mode_t mode) { return Calls().mkdir(path, mode); }
inline int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result)
{
    return Calls().getaddrinfo(node, service, hints, result);
}
inline CURLcode curl_perform(CURL* handle) { return Calls().curl_perform(handle); }
}  // namespace sys
