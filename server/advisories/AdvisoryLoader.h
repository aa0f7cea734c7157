#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AdvisorySink.h"
#include "OsvReader.h"

// Bounds on what one load reads, against ZIP bombs and giant or hostile files.
struct CAdvisoryLimits
{
    size_t maxRecordBytes = 4 << 20;   // a larger file or entry is refused as malformed
    uint64_t maxTotalBytes = 1ull << 30;  // the load stops once this much was read
    size_t maxFiles = 200000;          // a folder or archive with more is refused whole
    size_t maxDepth = COsvReader::kMaxDepth;
};

struct CAdvisoryLoadReport
{
    size_t loaded = 0;       // well-formed records with Maven packages, handed to the sink
    size_t added = 0;        // of those, what the sink did with them
    size_t replaced = 0;
    size_t kept = 0;
    size_t withdrawn = 0;    // of the loaded, withdrawn ones
    size_t unevaluable = 0;  // of the loaded, ones whose ranges cannot be evaluated
    size_t ignored = 0;      // records of other ecosystems only
    size_t malformed = 0;
    // "file: reason" for the first kMaxListed malformed files, and "id: reason" for the
    // first unevaluable records; names with control characters are made printable.
    std::vector<std::string> malformedFiles;
    std::vector<std::string> unevaluableRecords;
    std::string error;  // the source was refused or the load cut short; empty when all was read

    static constexpr size_t kMaxListed = 100;
};

// Reads OSV records from a folder of .json files (its subfolders too), from a ZIP archive
// of them as the OSV bulk exports publish them, or from one .json file, and hands each
// well-formed Maven record to the sink. A bad record is counted and named, never the end
// of the load.
class CAdvisoryLoader
{
public:
    explicit CAdvisoryLoader(IAdvisorySink& sink, CAdvisoryLimits limits = {});

    CAdvisoryLoadReport Load(const std::string& path);

private:
    void LoadFolder(const std::string& path, CAdvisoryLoadReport& report);
    void LoadArchive(const std::string& path, CAdvisoryLoadReport& report);
    // False once the total is spent.
    bool CountBytes(uint64_t bytes, CAdvisoryLoadReport& report);
    void Take(const std::string& name, std::string_view text, CAdvisoryLoadReport& report);
    void Refuse(const std::string& name, const std::string& reason, CAdvisoryLoadReport& report);

    IAdvisorySink& m_sink;
    CAdvisoryLimits m_limits;
    uint64_t m_totalBytes = 0;
};
