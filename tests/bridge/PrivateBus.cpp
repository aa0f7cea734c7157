#include "PrivateBus.h"

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

CPrivateBus::CPrivateBus()
{
    ::mkdir(m_dir.File("services").c_str(), 0755);
    m_config = m_dir.File("bus.conf");
    WriteFileText(m_config,
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig>\n"
                  "  <type>session</type>\n"
                  "  <listen>unix:path=" + m_dir.File("bus") + "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <servicedir>" + m_dir.File("services") + "</servicedir>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
}

CPrivateBus::~CPrivateBus() { Stop(); }

std::string CPrivateBus::Start()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return "pipe failed";
    // The daemon must not hand the test's own bus to the services it starts.
    std::vector<std::string> env = CChildProcess::Environment(
        {"DBUS_SESSION_BUS_ADDRESS", "DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE", "CORVANE_DEBUG"}, {});
    bool started = m_daemon.Start({DBUS_DAEMON, "--config-file=" + m_config, "--nofork", "--print-address=3"}, env,
                                  "", m_dir.File("daemon.log"), fds[1]);
    ::close(fds[1]);
    if (!started) {
        ::close(fds[0]);
        return "cannot run " DBUS_DAEMON;
    }
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{fds[0], POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0)
            continue;
        char buffer[256];
        ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        line.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (line.find('\n') == std::string::npos) {
        m_daemon.Kill();
        return "dbus-daemon did not start: " + ReadFileText(m_dir.File("daemon.log"));
    }
    m_address = line.substr(0, line.find('\n'));
    return {};
}

void CPrivateBus::Stop()
{
    if (m_daemon.Pid() <= 0)
        return;
    ::kill(m_daemon.Pid(), SIGTERM);
    m_daemon.Wait(std::chrono::seconds(5));
}

void CPrivateBus::AddHostService(const std::string& exec)
{
    WriteFileText(m_dir.File("services/Vantrel.Application.service"),
                  "[D-BUS Service]\nName=Vantrel.Application\nExec=" + exec + "\n");
}
