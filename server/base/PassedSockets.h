#pragma once

#include <optional>
#include <string>

#include <sys/types.h>

// The listening sockets a service manager opened for the server and handed over (systemd's
// socket activation): LISTEN_PID, LISTEN_FDS and LISTEN_FDNAMES, descriptors from 3 on.
struct CPassedSockets
{
    int http = -1;
    int lookup = -1;
};

// The sockets named "http" and "lookup" when pid is self and every descriptor named is a
// listening TCP socket. Nothing otherwise; note then says why, empty when none were passed.
std::optional<CPassedSockets> ParsePassedSockets(const char* pid, const char* count, const char* names, pid_t self,
                                                 int firstFd, std::string& note);

// The same from this process's environment, whose variables go so that no child takes them
// for its own; the sockets used are closed on exec.
std::optional<CPassedSockets> TakePassedSockets(std::string& note);
