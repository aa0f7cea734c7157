#include "Environment.h"

#include <cstdlib>

extern char** environ;

namespace
{
void Assign(const std::string& name, const std::optional<std::string>& value)
{
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}
}  // namespace

CScopedEnvironment::CScopedEnvironment(const Values& values)
{
    for (const auto& [name, value] : values) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        Assign(name, value);
    }
}

CScopedEnvironment::~CScopedEnvironment()
{
    // Backwards, so that a name given twice ends with its first old value.
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
        Assign(it->first, it->second);
}

CEnvironment::CEnvironment()
{
    for (char** entry = environ; *entry; ++entry) {
        std::string assignment = *entry;
        size_t equals = assignment.find('=');
        if (equals != std::string::npos)
            m_variables[assignment.substr(0, equals)] = assignment.substr(equals + 1);
    }
}

CEnvironment& CEnvironment::Set(const std::string& name, const std::string& value)
{
    m_variables[name] = value;
    return *this;
}

CEnvironment& CEnvironment::Remove(const std::string& name)
{
    m_variables.erase(name);
    return *this;
}

CEnvironment& CEnvironment::Append(const std::string& name, const std::string& value, char separator)
{
    std::string& list = m_variables[name];
    list += (list.empty() ? "" : std::string(1, separator)) + value;
    return *this;
}

std::string CEnvironment::Get(const std::string& name) const
{
    auto it = m_variables.find(name);
    return it == m_variables.end() ? std::string() : it->second;
}

std::vector<std::string> CEnvironment::Entries() const
{
    std::vector<std::string> entries;
    for (const auto& [name, value] : m_variables)
        entries.push_back(name + "=" + value);
    return entries;
}
