#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Variables of this process set (or, without a value, removed) for a scope; the old
// values come back on destruction.
class CScopedEnvironment
{
public:
    using Values = std::vector<std::pair<std::string, std::optional<std::string>>>;

    explicit CScopedEnvironment(const Values& values);
    CScopedEnvironment(const std::string& name, std::optional<std::string> value)
        : CScopedEnvironment(Values{{name, std::move(value)}})
    {
    }
    ~CScopedEnvironment();
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    Values m_saved;
};

// The environment of a child process: this process's own at construction, with changes.
class CEnvironment
{
public:
    CEnvironment();

    CEnvironment& Set(const std::string& name, const std::string& value);
    CEnvironment& Remove(const std::string& name);
    // Adds value at the end of a list variable (ASAN_OPTIONS, PATH).
    CEnvironment& Append(const std::string& name, const std::string& value, char separator = ':');
    // Empty when the variable is not set.
    std::string Get(const std::string& name) const;
    // "NAME=value" entries, as a program receives them.
    std::vector<std::string> Entries() const;

private:
    std::map<std::string, std::string> m_variables;
};
