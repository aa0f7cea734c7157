#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

// A program run by a test, with an environment of its own and its output in files. It is
// killed and reaped on destruction if it still runs.
class CChildProcess
{
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // An empty output path leaves that stream with the test. extraFd, when not -1, is
    // handed to the child as descriptor 3.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& stdoutPath, const std::string& stderrPath, int extraFd = -1);
    // The exit status, or -1 if the program was still running after timeout and was killed.
    int Wait(std::chrono::milliseconds timeout);
    void Kill();
    pid_t Pid() const { return m_pid; }

    // The test's own environment without the named variables, plus the given assignments.
    static std::vector<std::string> Environment(const std::vector<std::string>& remove,
                                                const std::vector<std::string>& add);

private:
    pid_t m_pid = -1;
};
