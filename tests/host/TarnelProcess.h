#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include <QProcess>
#include <QStringList>

// The real host program started as a child of the test, with the environment the test
// prepared; what it writes goes to a file, shown when a test fails.
class CTarnelProcess
{
public:
    CTarnelProcess(QProcessEnvironment environment, std::string logFile);
    ~CTarnelProcess();
    CTarnelProcess(const CTarnelProcess&) = delete;
    CTarnelProcess& operator=(const CTarnelProcess&) = delete;

    bool Start(const QStringList& arguments, const QString& program = QStringLiteral(TARNEL_PROGRAM));
    std::int64_t Pid() const { return m_process.processId(); }
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }
    // True when it ended within timeout; the exit code then.
    bool WaitForExit(std::chrono::milliseconds timeout, int& exitCode);
    std::string Output() const;

private:
    QProcess m_process;
    std::string m_logFile;
};
