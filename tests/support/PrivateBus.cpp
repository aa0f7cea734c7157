#include "PrivateBus.h"

#include <filesystem>

CPrivateBus::CPrivateBus()
{
    m_dataHome = m_dir.File("data");
    std::filesystem::create_directories(m_dataHome + "/dbus-1/services");
    m_address = "unix:path=" + m_dir.File("bus");
    WriteFileText(m_dir.File("bus.conf"),
                  "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                  "<busconfig>\n"
                  "  <type>session</type>\n"
                  "  <listen>unix:path=" + m_dir.File("bus") + "</listen>\n"
                  "  <auth>EXTERNAL</auth>\n"
                  "  <servicedir>" + m_dataHome + "/dbus-1/services</servicedir>\n"
                  "  <policy context=\"default\">\n"
                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                  "    <allow eavesdrop=\"true\"/>\n"
                  "    <allow own=\"*\"/>\n"
                  "  </policy>\n"
                  "</busconfig>\n");
}

CPrivateBus::~CPrivateBus() { Stop(); }

std::string CPrivateBus::Start(CEnvironment environment, bool tellAddress)
{
    // What the test itself was started with names another bus.
    environment.Remove("DBUS_STARTER_ADDRESS").Remove("DBUS_STARTER_BUS_TYPE");
    if (tellAddress)
        environment.Set("DBUS_SESSION_BUS_ADDRESS", m_address);
    else
        environment.Remove("DBUS_SESSION_BUS_ADDRESS");
    // The daemon prints its address once it listens.
    std::string printed = m_daemon.StartServer(
        {DBUS_DAEMON, "--nofork", "--config-file=" + m_dir.File("bus.conf"), "--print-address=3"}, environment, 3,
        m_dir.File("daemon.log"));
    if (printed.empty())
        return "dbus-daemon did not start: " + ReadFileText(m_dir.File("daemon.log"));
    return {};
}

void CPrivateBus::Stop() { m_daemon.Stop(); }

void CPrivateBus::AddHostService(const std::string& exec) const
{
    WriteFileText(ServiceFile(), "[D-BUS Service]\nName=Vantrel.Application\nExec=" + exec + "\n");
}
