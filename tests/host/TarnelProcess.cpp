#include "TarnelProcess.h"

#include "support/TestSupport.h"

CTarnelProcess::CTarnelProcess(QProcessEnvironment environment, std::string logFile)
    : m_logFile(std::move(logFile))
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(QString::fromStdString(m_logFile), QIODevice::Append);
}

CTarnelProcess::~CTarnelProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool CTarnelProcess::Start(const QStringList& arguments, const QString& program)
{
    m_process.start(program, arguments);
    return m_process.waitForStarted(10000);
}

bool CTarnelProcess::WaitForExit(std::chrono::milliseconds timeout, int& exitCode)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(static_cast<int>(timeout.count())))
        return false;
    exitCode = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    return true;
}

std::string CTarnelProcess::Output() const
{
    return ReadFileText(m_logFile);
}
