#pragma once

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Environment.h"
#include "MessageQueue.h"
#include "UserPrompt.h"

// A directory of its own under the system's temporary directory, removed afterwards.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Points the settings store at a registry file of the test's own (CORVANE_REGISTRY) that
// has the two keys of the settings, and puts the variable back afterwards.
class CTestRegistry
{
public:
    explicit CTestRegistry(bool createKeys = true);

    const std::string& Path() const { return m_path; }
    // Sets a value under HKEY_LOCAL_MACHINE\Software\Corvane\Vantrel.
    void Set(const std::string& name, const std::string& value);
    // Points the settings of every vendor web server at host ("127.0.0.1:port") and, when
    // given, the lookup server at lookupPort on loopback.
    void UseServers(const std::string& host, int lookupPort = 0);
    // The data directory ("Data"), a temporary directory with Java/, Market/ and Local/.
    const std::string& DataDir() const { return m_data.Path(); }

private:
    CTempDir m_dir;
    CTempDir m_data;
    std::string m_path;
    CScopedEnvironment m_variable;
};

// Message boxes answered from a script; records what was shown.
class CScriptedPrompt : public IUserPrompt
{
public:
    struct CShown
    {
        std::string text;
        std::string caption;
        unsigned type;
    };

    void Answer(int answer) { m_answers.push_back(answer); }
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;

    const std::vector<CShown>& Shown() const { return m_shown; }

private:
    std::vector<int> m_answers;
    std::vector<CShown> m_shown;
};

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

// The messages a worker posts up to and including the first `last`, or all that came
// before the queue stayed empty for `quiet`.
std::vector<CMessage> CollectMessages(CMessageQueue& queue, unsigned last, std::chrono::milliseconds quiet);
