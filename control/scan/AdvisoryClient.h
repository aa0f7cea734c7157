#pragma once

#include <compare>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HttpTransfer.h"
#include "ScanResults.h"

class CCatalogueEntries;

// One way a record rates itself: "CVSSv31", "CVSSv3", "CVSSv4" or "other", its vector,
// and the score when the server could compute one.
struct CAdvisoryRating
{
    std::string method;
    std::string vector;
    std::optional<double> score;
};

// A known vulnerability (an OSV record) of a package at a version.
struct CAdvisory
{
    std::string id;
    std::vector<std::string> aliases;
    std::string summary;   // as in the record: may hold markup
    std::string severity;  // "critical", "high", "medium", "low", "none" or "unknown"
    std::vector<CAdvisoryRating> ratings;
    std::string fixed;      // the lowest fixed version above the one asked; empty when none is known
    bool evaluable = true;  // false: the server cannot evaluate its ranges, so the version may be affected
};

// An advisory as it bears on one component found: the versions found that it affects (or
// may affect), the fixed versions the server named for them, and the places of those copies.
struct CAffectingAdvisory
{
    CAdvisory advisory;
    std::vector<std::string> versions;
    std::vector<std::string> fixed;  // distinct, non-empty
    std::vector<std::string> paths;  // distinct, in the order found
};

// A Maven package ("group:artifact") at a version, as the advisory query names it.
struct CPackageVersion
{
    std::string package;
    std::string version;
    auto operator<=>(const CPackageVersion&) const = default;
};

// Asks the component web server which advisories affect the packages a scan found
// (POST /vantrel/advisories, one "package<TAB>version" line per query). A server without
// the endpoint, or without advisories, leaves the client without data, which is no error.
class CAdvisoryClient
{
public:
    static constexpr size_t kMaxLinesPerRequest = 20000;
    static constexpr size_t kMaxBytesPerRequest = 2 * 1024 * 1024;
    static constexpr curl_off_t kMaxAnswerBytes = curl_off_t{64} * 1024 * 1024;
    static constexpr size_t kMaxAdvisoriesPerResult = 1000;

    enum class CResult
    {
        Answered,  // the server holds advisories; Get tells what affects each query
        NoData,    // no endpoint (404) or no advisories loaded: nothing is known either way
        Failed,    // error says why
    };

    // One query per distinct package and version: each find of a component whose catalogue
    // entry names "group:artifact" (each candidate of a find whose versions are a set, the
    // catalogue's version where the classes told none), then each archive named by its
    // pom.properties.
    static std::vector<CPackageVersion> Queries(const std::vector<CFoundComponent>& found,
                                                const CCatalogueEntries& catalogue,
                                                const std::vector<CUnidentified>& unidentified);
    // "group:artifact" of a component's catalogue entry; empty when the entry names no group.
    static std::string Package(const CCatalogueEntries& catalogue, const std::string& scid);
    // "group:artifact" of an archive named by its pom.properties with a version; empty for
    // any other, which names no Maven artifact to ask about.
    static std::string Package(const CUnidentified& archive);
    // The archive as the find Affecting takes: its place at its own version.
    static CFind ArchiveFind(const CUnidentified& archive);
    // The versions a find stands for: its own, else its candidates, else the catalogue's.
    static std::vector<std::string> FindVersions(const CFind& find, const std::string& catalogued);

    // Asks webServer (the component web server's base URL) in requests of at most
    // kMaxLinesPerRequest lines and kMaxBytesPerRequest bytes; the answers replace what an
    // earlier Fetch kept.
    CResult Fetch(const std::string& webServer, const std::vector<CPackageVersion>& queries,
                  CTransferSettings settings, std::string& error);
    // Reads one answer to the lines asked; false with error when it is not one.
    bool ReadAnswer(std::string_view body, const std::vector<CPackageVersion>& asked, std::string& error);

    bool HasData() const { return m_generation > 0; }
    // The advisories that affect or may affect package at version, in the server's order
    // (affecting first, then those it cannot evaluate); empty when none is known.
    const std::vector<CAdvisory>& Get(const std::string& package, const std::string& version) const;
    // The advisories bearing on a package found at these places (a find without a version
    // of its own has the catalogue's), each record once, in the order first met.
    std::vector<CAffectingAdvisory> Affecting(const std::string& package, const std::vector<CFind>& finds,
                                              const std::string& catalogued = "") const;

    static std::string AdvisoriesUrl(const std::string& webServer);

private:
    long long m_generation = 0;
    std::map<CPackageVersion, std::vector<CAdvisory>> m_advisories;
};

// The order of severities, "none" 0 to "critical" 4; -1 for anything else ("unknown").
int SeverityRank(const std::string& severity);
// The most severe of the advisories: the highest known severity, "unknown" when none is known.
std::string MostSevere(const std::vector<CAffectingAdvisory>& advisories);
// The fixed version that fixes every affected copy found: the highest the server named;
// empty when it named none.
std::string FixedVersion(const CAffectingAdvisory& advisory);
// Whether an advisory of this severity meets a threshold ("low" .. "critical"): an unknown
// severity meets every threshold, since nothing may be called safe that may not be.
bool MeetsSeverity(const std::string& severity, const std::string& threshold);
