#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Which catalogued components hold which classes: the lookup table that build-site writes
// ("lookup/classes.txt", one "class<TAB>SCID" per line) or loads into the server's store,
// sorted by class name.
class CLookupDatabase
{
public:
    using CRows = std::vector<std::pair<std::string, std::string>>;  // class name, SCID

    bool Load(const std::string& path, std::string& error);
    // Rows in table order (the store's copy of the file).
    void Load(CRows rows);
    // The rows of a lookup table file, in file order.
    static bool ReadFile(const std::string& path, CRows& rows, std::string& error);

    // Components with a class under prefix: "com.acme." counts classes below that package;
    // a name without a trailing dot counts that class and anything nested below it.
    int CountComponents(std::string_view prefix) const;
    // Components holding exactly this class, in catalogue order.
    std::vector<std::string> FindComponents(std::string_view className) const;

    size_t ClassCount() const { return m_entries.size(); }

private:
    CRows m_entries;
};
