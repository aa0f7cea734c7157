#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Which catalogued components hold which classes: the lookup table that build-site writes
// ("lookup/classes.txt", one "class<TAB>SCID" per line), sorted by class name.
class CLookupDatabase
{
public:
    bool Load(const std::string& path, std::string& error);

    // Components with a class under prefix: "com.acme." counts classes below that package;
    // a name without a trailing dot counts that class and anything nested below it.
    int CountComponents(std::string_view prefix) const;
    // Components holding exactly this class, in catalogue order.
    std::vector<std::string> FindComponents(std::string_view className) const;

    size_t ClassCount() const { return m_entries.size(); }

private:
    std::vector<std::pair<std::string, std::string>> m_entries;  // class name, SCID
};
