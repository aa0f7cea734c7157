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
{
    m_path = m_dir.File("registry.reg");
    if (const char* saved = std::getenv("CORVANE_REGISTRY")) {
        m_saved = saved;
        m_hadSaved = true;
    }
    setenv("CORVANE_REGISTRY", m_path.c_str(), 1);
    for (const char* sub : {"Java", "Market", "Local"})
        std::filesystem::create_directories(m_data.File(sub));
    if (createKeys) {
        RegCreateKey(HKEY_LOCAL_MACHINE, kMainKey);
        RegCreateKey(HKEY_LOCAL_MACHINE, kUserKey);
        Set("Data", m_data.Path());
    }
}

CTestRegistry::~CTestRegistry()
{
    if (m_hadSaved)
        setenv("CORVANE_REGISTRY", m_saved.c_str(), 1);
    else
        unsetenv("CORVANE_REGISTRY");
}

void CTestRegistry::Set(const std::string& name, const std::string& value)
{
    if (!RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, name, value))
        throw std::runtime_error("cannot write test setting " + name);
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
