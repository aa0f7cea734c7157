#include "ChildProcess.h"

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"

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

int Status(int waitStatus)
{
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}
}  // namespace

CChildProcess::~CChildProcess() { Stop(); }

bool CChildProcess::Start(const std::vector<std::string>& argv, const CEnvironment& environment,
                          const std::string& stdoutPath, const std::string& stderrPath)
{
    return Spawn(argv, environment, stdoutPath, stderrPath, -1, -1);
}

std::string CChildProcess::StartServer(const std::vector<std::string>& argv, const CEnvironment& environment, int fd,
                                       const std::string& logPath, std::chrono::milliseconds timeout)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    bool started = Spawn(argv, environment, fd == 1 ? "" : logPath, logPath, ends[1], fd);
    ::close(ends[1]);
    if (!started) {
        ::close(ends[0]);
        return {};
    }
    m_readyPipe = ends[0];
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{m_readyPipe, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        char buffer[256];
        ssize_t n = ::read(m_readyPipe, buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<size_t>(n));
    }
    if (line.find('\n') == std::string::npos) {
        Kill();
        return {};
    }
    return line.substr(0, line.find('\n'));
}

bool CChildProcess::Spawn(const std::vector<std::string>& argv, const CEnvironment& environment,
                          const std::string& stdoutPath, const std::string& stderrPath, int pipeEnd, int fd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutPath.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!stderrPath.empty() && stderrPath == stdoutPath)
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    else if (!stderrPath.empty())
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (pipeEnd >= 0)
        posix_spawn_file_actions_adddup2(&actions, pipeEnd, fd);
    std::vector<std::string> entries = environment.Entries();
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(entries);
    int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        m_pid = -1;
    m_status = -1;
    return rc == 0;
}

void CChildProcess::Reaped()
{
    m_pid = -1;
    if (m_readyPipe >= 0)
        ::close(m_readyPipe);
    m_readyPipe = -1;
}

int CChildProcess::Wait(std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsRunning()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            Kill();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_status;
}

int CChildProcess::Stop(std::chrono::milliseconds grace)
{
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
    return Wait(grace);
}

void CChildProcess::Kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_status = -1;
    Reaped();
}

bool CChildProcess::IsRunning()
{
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = Status(status);
        Reaped();
    }
    return m_pid > 0;
}

bool ProcessEnded(std::int64_t pid)
{
    std::string stat = ReadFileText("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.compare(close + 1, 3, " Z ") == 0);
}
