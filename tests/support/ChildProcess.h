#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

#include "Environment.h"

// A program run by a test, with an environment of its own and its output in files. It is
// stopped and reaped on destruction if it still runs.
class CChildProcess
{
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // An empty output path leaves that stream with the test; the same path for both puts
    // them into one file.
    bool Start(const std::vector<std::string>& argv, const CEnvironment& environment = {},
               const std::string& stdoutPath = "", const std::string& stderrPath = "");
    // Starts a server that writes a line to descriptor fd once it is ready (its address, its
    // display, its ports); the program's other output goes to logPath (1 is its standard
    // output). The line without its line feed; empty when none came in time, and then the
    // program is killed.
    std::string StartServer(const std::vector<std::string>& argv, const CEnvironment& environment, int fd,
                            const std::string& logPath,
                            std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // The exit status (128 + the signal when a signal ended it); -1 when the program still
    // ran after timeout and was killed.
    int Wait(std::chrono::milliseconds timeout);
    // SIGTERM, and SIGKILL if it has not ended after grace; the exit status as Wait's.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
    void Kill();
    bool IsRunning();
    pid_t Pid() const { return m_pid; }

private:
    bool Spawn(const std::vector<std::string>& argv, const CEnvironment& environment, const std::string& stdoutPath,
               const std::string& stderrPath, int pipeEnd, int fd);
    void Reaped();

    pid_t m_pid = -1;
    int m_status = -1;
    // The read end of a server's ready pipe, kept open while it runs so that later writes
    // do not fail.
    int m_readyPipe = -1;
};

// The process has ended: it is gone, or a zombie its parent has not reaped yet.
bool ProcessEnded(std::int64_t pid);
