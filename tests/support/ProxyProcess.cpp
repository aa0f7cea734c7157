#include "ProxyProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
const char* ProgramName(CProxyKind kind)
{
    switch (kind) {
    case CProxyKind::Microsocks:
        return "microsocks";
    case CProxyKind::Danted:
        return "danted";
    case CProxyKind::Tinyproxy:
        return "tinyproxy";
    }
    return "";
}

// Searches PATH and the sbin folders, where danted lives.
std::string FindProgram(const std::string& name)
{
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin:/usr/local/sbin";
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        std::string candidate = path.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

bool CanConnect(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}
}  // namespace

CProxyProcess::CProxyProcess(CProxyKind kind, const CProxyOptions& options)
    : m_kind(kind)
{
    std::string program = FindProgram(ProgramName(kind));
    if (program.empty()) {
        m_missing = true;
        m_error = std::string(ProgramName(kind)) + " is not installed";
        return;
    }
    m_logPath = m_dir.File("proxy.log");
    m_port = FreeLoopbackPort();
    std::string port = std::to_string(m_port);
    std::vector<std::string> args;
    switch (kind) {
    case CProxyKind::Microsocks:
        args = {"-i", "127.0.0.1", "-p", port};
        if (!options.user.empty())
            args.insert(args.end(), {"-u", options.user, "-P", options.password});
        break;
    case CProxyKind::Danted:
        args = {"-f", WriteConfig(options), "-p", m_dir.File("danted.pid")};
        break;
    case CProxyKind::Tinyproxy:
        args = {"-d", "-c", WriteConfig(options)};
        break;
    }
    if (Launch(program, args))
        WaitUntilAccepting();
}

CProxyProcess::~CProxyProcess()
{
    if (m_pid <= 0)
        return;
    // The proxy leads a process group of its own; its helpers go with it. The leader is
    // reaped only after the group is gone, so the group id cannot be reused meanwhile.
    ::kill(-m_pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == m_pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

const char* CProxyProcess::Name() const { return ProgramName(m_kind); }

std::string CProxyProcess::WriteConfig(const CProxyOptions& options)
{
    std::string path = m_dir.File(std::string(Name()) + ".conf");
    std::ofstream out(path);
    std::string port = std::to_string(m_port);
    if (m_kind == CProxyKind::Danted) {
        out << "logoutput: stderr\n"
            << "internal: 127.0.0.1 port = " << port << "\n"
            << "external: 127.0.0.1\n"
            << "clientmethod: none\n"
            << "socksmethod: none\n"
            << "user.privileged: root\n"
            << "user.unprivileged: nobody\n"
            << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  log: error connect\n}\n"
            << "socks pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n  command: connect\n  log: error connect\n}\n";
    } else {
        out << "Port " << port << "\n"
            << "Listen 127.0.0.1\n"
            << "Timeout 30\n"
            << "MaxClients 20\n"
            << "Allow 127.0.0.1\n"
            << "LogLevel Info\n";
        if (options.connectPort)
            out << "ConnectPort " << options.connectPort << "\n";
        if (!options.user.empty())
            out << "BasicAuth " << options.user << " " << options.password << "\n";
    }
    return path;
}

bool CProxyProcess::Launch(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int rc = posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        m_pid = -1;
        m_error = "cannot start " + program;
        return false;
    }
    return true;
}

bool CProxyProcess::WaitUntilAccepting()
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = std::string(Name()) + " exited: " + Log();
            return false;
        }
        if (CanConnect(m_port))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_error = std::string(Name()) + " does not accept connections: " + Log();
    return false;
}

std::string CProxyProcess::Log() const { return m_logPath.empty() ? std::string() : ReadFileText(m_logPath); }

bool CProxyProcess::WaitForLog(const std::string& text) const
{
    for (int i = 0; i < 200; ++i) {
        if (Log().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

int CProxyProcess::FreeLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}
