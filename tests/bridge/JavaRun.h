#pragma once

#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSupport.h"

// One run of the Java driver (BridgeDriver) in a real JVM that loads libKeshBridg.so.
class CJavaRun
{
public:
    struct CCall
    {
        std::string result;  // "ok" or "threw <exception class>"
        long ms = 0;
    };

    // Starts the JVM on the given bus address with the driver's steps; env adds variables.
    bool Start(const std::string& busAddress, const std::vector<std::string>& steps,
               const std::vector<std::string>& env = {});
    // Waits for the JVM to end; false if it had to be killed.
    bool Finish();

    int ExitCode() const { return m_exitCode; }
    const std::string& Out() const { return m_out; }
    const std::string& Err() const { return m_err; }
    const std::vector<CCall>& Calls() const { return m_calls; }

private:
    CTempDir m_dir;
    CChildProcess m_java;
    int m_exitCode = -1;
    std::string m_out;
    std::string m_err;
    std::vector<CCall> m_calls;
};
