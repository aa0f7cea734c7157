#include "ChildProcess.h"

#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
std::vector<char*> Pointers(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (const std::string& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}
}  // namespace

CChildProcess::~CChildProcess() { Kill(); }

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& stdoutPath, const std::string& stderrPath, int extraFd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (extraFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        m_pid = -1;
    return rc == 0;
}

int CChildProcess::Wait(std::chrono::milliseconds timeout)
{
    if (m_pid <= 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return -1;
}

void CChildProcess::Kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

std::vector<std::string> CChildProcess::Environment(const std::vector<std::string>& remove,
                                                    const std::vector<std::string>& add)
{
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        std::string assignment = *entry;
        std::string name = assignment.substr(0, assignment.find('='));
        bool removed = false;
        for (const std::string& r : remove)
            removed = removed || r == name;
        for (const std::string& a : add)
            removed = removed || a.substr(0, a.find('=')) == name;
        if (!removed)
            env.push_back(assignment);
    }
    env.insert(env.end(), add.begin(), add.end());
    return env;
}
