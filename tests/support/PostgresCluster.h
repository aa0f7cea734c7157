#pragma once

#include <string>

#include <sys/types.h>

#include "TestSupport.h"

// A real PostgreSQL server of the test's own: a cluster that initdb makes in a temporary
// directory, its postmaster on a free loopback port, run as "nobody" when the test runs as
// root (PostgreSQL refuses root). The postmaster ends with the test program, even a crashed one.
class CPostgresCluster
{
public:
    CPostgresCluster();
    ~CPostgresCluster();
    CPostgresCluster(const CPostgresCluster&) = delete;
    CPostgresCluster& operator=(const CPostgresCluster&) = delete;

    // Empty while the server accepts connections; otherwise why it does not.
    const std::string& Error() const { return m_error; }
    int Port() const { return m_port; }

    // A new empty database: its connection URI, or empty and error.
    std::string CreateDatabase(std::string& error);

    // Stops the server (every session ends, as when the machine's database restarts) and
    // starts it again on the same data and port; false when it did not come back.
    bool Restart();

    // The one cluster of this test program, started on first use and stopped after the last test.
    static CPostgresCluster& Shared();

private:
    pid_t Spawn(const std::vector<std::string>& argv, bool tiedToParent);
    bool Start();
    bool Launch();
    void Shutdown();

    CTempDir m_dir;
    std::string m_bin;
    std::string m_logPath;
    pid_t m_postmaster = -1;
    int m_port = 0;
    int m_databases = 0;
    std::string m_error;
};
