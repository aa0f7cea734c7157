#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Which catalogued components hold which classes: the lookup table that build-site writes
// ("lookup/classes.txt", one "class<TAB>SCID" per line) or loads into the server's store.
// The number of components under
// every package and class name is counted once when the table is built, so a count is a
// single look-up however large the catalogue.
class CLookupDatabase
{
public:
    using CRows = std::vector<std::pair<std::string, std::string>>;  // class name, SCID

    bool Load(const std::string& path, std::string& error);
    // Rows in table order (the store's copy of the file).
    void Load(const CRows& rows);
    // The rows of a lookup table file, in file order.
    static bool ReadFile(const std::string& path, CRows& rows, std::string& error);

    // Another source of rows (a database): Clear, Add every row in catalogue order, then
    // Build; the queries answer from the last Build.
    void Clear();
    void Add(std::string_view className, std::string_view scid);
    void Build();

    // Components with a class under prefix: "com.acme." counts classes below that package;
    // a name without a trailing dot counts that class and anything nested below it.
    int CountComponents(std::string_view prefix) const;
    // Components holding exactly this class, in catalogue order.
    std::vector<std::string> FindComponents(std::string_view className) const;

    // Every class of a component, sorted (each name once: the table has a name once per component).
    std::vector<std::string_view> ClassesOf(std::string_view scid) const;

    size_t ClassCount() const { return m_entries.size(); }
    // The rows in name order, for indexes built over them.
    std::string_view ClassAt(size_t row) const { return Name(m_entries[row]); }
    const std::string& ScidAt(size_t row) const { return m_scids[m_entries[row].scid]; }

private:
    struct CEntry
    {
        uint32_t nameOffset;
        uint32_t nameLength;
        uint32_t scid;  // index into m_scids
    };
    struct CHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    using CCountMap = std::unordered_map<std::string, uint32_t, CHash, std::equal_to<>>;

    std::string_view Name(const CEntry& entry) const { return {m_names.data() + entry.nameOffset, entry.nameLength}; }
    // First entry whose name is not below name.
    size_t LowerBound(std::string_view name) const;

    std::string m_names;            // every class name, one after another
    std::vector<CEntry> m_entries;  // sorted by name; catalogue order within a name
    std::vector<std::string> m_scids;
    CCountMap m_scidIds;                 // SCID -> index into m_scids
    std::vector<uint32_t> m_nameCounts;  // at the first entry of each name: its count
    CCountMap m_packageCounts;           // "a.b." -> components with a class below it
    // Rows of each component in name order: those of m_scids[i] are
    // m_rowsByScid[m_scidRowStart[i] .. m_scidRowStart[i + 1]).
    std::vector<uint32_t> m_scidRowStart;
    std::vector<uint32_t> m_rowsByScid;
};
