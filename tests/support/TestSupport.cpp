#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "Registry.h"
#include "Settings.h"

CTempDir::CTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = name.data();
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

CTestRegistry::CTestRegistry(bool createKeys)
    : m_path(m_dir.File("registry.reg")), m_variable("CORVANE_REGISTRY", m_path)
{
    for (const char* sub : {"Java", "Market", "Local"})
        std::filesystem::create_directories(m_data.File(sub));
    if (createKeys) {
        RegCreateKey(HKEY_LOCAL_MACHINE, kMainKey);
        RegCreateKey(HKEY_LOCAL_MACHINE, kUserKey);
        Set("Data", m_data.Path());
        // No scan location of this machine's own: a test that wants some names them.
        SetScanLocations({});
    }
}

void CTestRegistry::Set(const std::string& name, const std::string& value)
{
    if (!RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, name, value))
        throw std::runtime_error("cannot write test setting " + name);
}

void CTestRegistry::UseServers(const std::string& host, int lookupPort)
{
    for (const char* name : {"ComponentWebServer", "MarketplaceUrl"})
        Set(name, "http://" + host);
    for (const char* name : {"ComponentUrl", "DistributionServer", "MarketplaceWebServer"})
        Set(name, host);
    if (lookupPort)
        Set("ComponentDatabase", "127.0.0.1:" + std::to_string(lookupPort));
}

int CScriptedPrompt::MessageBox(const std::string& text, const std::string& caption, unsigned type)
{
    m_shown.push_back({text, caption, type});
    if (m_answers.empty())
        return IDOK;
    int answer = m_answers.front();
    m_answers.erase(m_answers.begin());
    return answer;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<CMessage> CollectMessages(CMessageQueue& queue, unsigned last, std::chrono::milliseconds quiet)
{
    std::vector<CMessage> messages;
    CMessage message;
    while (queue.GetMessage(message, quiet)) {
        messages.push_back(message);
        if (message.message == last)
            break;
    }
    return messages;
}
