#include "PostgresCluster.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include "ProxyProcess.h"

namespace
{
// The newest server installed by Debian's postgresql packages.
std::string FindBinDir()
{
    std::string best;
    int bestVersion = -1;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
        int version = std::atoi(entry.path().filename().c_str());
        if (version > bestVersion && ::access((entry.path() / "bin/initdb").c_str(), X_OK) == 0) {
            bestVersion = version;
            best = (entry.path() / "bin").string();
        }
    }
    return best;
}

std::unique_ptr<CPostgresCluster> g_cluster;

class CClusterEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { g_cluster.reset(); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new CClusterEnvironment);
}  // namespace

CPostgresCluster& CPostgresCluster::Shared()
{
    if (!g_cluster)
        g_cluster = std::make_unique<CPostgresCluster>();
    return *g_cluster;
}

CPostgresCluster::CPostgresCluster()
{
    m_bin = FindBinDir();
    if (m_bin.empty()) {
        m_error = "PostgreSQL is not installed (/usr/lib/postgresql/*/bin/initdb): run scripts/install-deps.sh";
        return;
    }
    m_logPath = m_dir.File("postgres.log");
    Start();
}

CPostgresCluster::~CPostgresCluster() { Shutdown(); }

void CPostgresCluster::Shutdown()
{
    if (m_postmaster <= 0)
        return;
    ::kill(m_postmaster, SIGINT);  // fast shutdown: sessions end, the cluster is left clean
    for (int i = 0; i < 400; ++i) {
        if (::waitpid(m_postmaster, nullptr, WNOHANG) == m_postmaster) {
            m_postmaster = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ::kill(m_postmaster, SIGKILL);
    ::waitpid(m_postmaster, nullptr, 0);
    m_postmaster = -1;
}

bool CPostgresCluster::Restart()
{
    Shutdown();
    return Launch();
}

pid_t CPostgresCluster::Spawn(const std::vector<std::string>& args, bool tiedToParent)
{
    // Looked up before fork: the child may only make async-signal-safe calls.
    bool root = ::geteuid() == 0;
    const passwd* nobody = root ? ::getpwnam("nobody") : nullptr;
    uid_t uid = nobody ? nobody->pw_uid : 0;
    gid_t gid = nobody ? nobody->pw_gid : 0;
    if (root && !nobody)
        return -1;
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& arg : copy)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    int log = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (log >= 0) {
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
    }
    if (root && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0))
        ::_exit(126);
    // Set after the change of user, which clears it: a test program that dies takes the server along.
    if (tiedToParent && (::prctl(PR_SET_PDEATHSIG, SIGQUIT) != 0 || ::getppid() != parent))
        ::_exit(126);
    if (::chdir(m_dir.Path().c_str()) != 0)
        ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

bool CPostgresCluster::Start()
{
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(m_dir.Path().c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = "cannot hand the cluster's directory to the user nobody";
            return false;
        }
    }
    std::string data = m_dir.File("data");
    pid_t initdb = Spawn({m_bin + "/initdb", "-D", data, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C",
                          "--no-sync"},
                         false);
    int status = 0;
    if (initdb <= 0 || ::waitpid(initdb, &status, 0) != initdb || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        m_error = "initdb failed: " + ReadFileText(m_logPath);
        return false;
    }
    m_port = CProxyProcess::FreeLoopbackPort();
    return Launch();
}

bool CPostgresCluster::Launch()
{
    std::string data = m_dir.File("data");
    int status = 0;
    // Loopback only, no socket file; durability is not what the tests are about.
    m_postmaster = Spawn({m_bin + "/postgres", "-D", data, "-c", "listen_addresses=127.0.0.1", "-c",
                          "port=" + std::to_string(m_port), "-c", "unix_socket_directories=", "-c", "fsync=off", "-c",
                          "full_page_writes=off"},
                         true);
    std::string ping = "host=127.0.0.1 port=" + std::to_string(m_port) + " dbname=postgres user=postgres";
    for (int i = 0; i < 600 && m_postmaster > 0; ++i) {
        if (PQping(ping.c_str()) == PQPING_OK)
            return true;
        if (::waitpid(m_postmaster, &status, WNOHANG) == m_postmaster)
            m_postmaster = -1;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_error = "the PostgreSQL server did not start: " + ReadFileText(m_logPath);
    return false;
}

std::string CPostgresCluster::CreateDatabase(std::string& error)
{
    if (!m_error.empty()) {
        error = m_error;
        return {};
    }
    std::string base = "postgresql://postgres@127.0.0.1:" + std::to_string(m_port) + "/";
    std::string name = "test" + std::to_string(++m_databases);
    PGconn* connection = PQconnectdb((base + "postgres").c_str());
    PGresult* result = PQexec(connection, ("CREATE DATABASE " + name).c_str());
    bool ok = PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!ok)
        error = PQerrorMessage(connection);
    PQclear(result);
    PQfinish(connection);
    return ok ? base + name : std::string();
}
