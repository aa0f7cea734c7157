#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Which catalogued versions hold a class with a given fingerprint: the table build-site
// writes ("lookup/fingerprints.txt", one "fingerprint<TAB>SCID<TAB>version" per line, the
// fingerprint as 16 lower-case hex digits) or loads into the server's store. A version is
// named by its component's SCID and its Maven version.
class CFingerprintTable
{
public:
    struct CVersion
    {
        std::string scid;
        std::string version;
    };

    // Reads the file line by line (it may hold millions); a missing file is an empty table.
    bool Load(const std::string& path, std::string& error);
    // The rows of such a file in file order, one call each, never the whole file at once;
    // comments and lines that are no row (torn, malformed, too long) are left out.
    using CRowSink = std::function<void(uint64_t fingerprint, std::string_view scid, std::string_view version)>;
    static bool ReadFile(const std::string& path, const CRowSink& row, std::string& error);

    // Another source of rows (a database): Clear, Add every row, then Build; Find answers
    // from the last Build.
    void Clear();
    void Add(uint64_t fingerprint, std::string_view scid, std::string_view version);
    void Build();

    // The versions holding a class with this fingerprint, each once, in the order added.
    std::vector<const CVersion*> Find(uint64_t fingerprint) const;

    size_t RowCount() const { return m_rows.size(); }
    size_t VersionCount() const { return m_versions.size(); }

    // "0123456789abcdef" to its value; false for anything but 16 hex digits.
    static bool ParseFingerprint(std::string_view text, uint64_t& fingerprint);
    // A SCID or a version as a row may name it and an answer line carry it: printable, no blank.
    static bool IsName(std::string_view text);

private:
    struct CRow
    {
        uint64_t fingerprint;
        uint32_t version;  // index into m_versions
        uint32_t order;    // the order added, so that Find keeps it
    };

    std::vector<CRow> m_rows;  // sorted by fingerprint once built
    std::vector<CVersion> m_versions;
    std::unordered_map<std::string, uint32_t> m_versionIds;  // "SCID\tversion" -> index
};
