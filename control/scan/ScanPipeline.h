#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdvisoryClient.h"
#include "CatalogueEntries.h"
#include "Diagnostics.h"
#include "LookupConnection.h"
#include "LookupService.h"
#include "Matcher.h"
#include "ScanResults.h"
#include "ScanSources.h"
#include "VendorServers.h"

// The matchers every unit of the scan locations is tried with, in this order.
std::vector<std::unique_ptr<IMatcher>> ScanMatchers();

// One scan of this machine for known components, in steps. First the CLASSPATH: the names
// of all its elements in byte order, one name per step (its repeats in the same step, each
// occurrence found again). Then the scan locations: one archive or class tree per step,
// its units tried with every matcher, each distinct name asked once in the whole scan.
class CScanPipeline
{
public:
    using CCancelled = std::function<bool()>;
    enum class CEvent
    {
        Started,  // value: the number of steps announced (CLASSPATH names and location items)
        Item,     // value: the location item about to be read
        Step,     // a step of progress
    };
    using CProgress = std::function<void(CEvent event, size_t value)>;

    explicit CScanPipeline(CPrefixCache& cache, CDiagnostics diagnostics = WriteToStandardOutput);

    // Set before Begin.
    void SetClassPath(const std::string& classPath) { m_classPath = classPath; }
    void SetLocations(std::vector<std::string> locations) { m_locations = std::move(locations); }
    void SetProgress(CProgress progress) { m_progress = std::move(progress); }
    // Servers other than the settings name, for one scan.
    void SetLookupServer(const CServerAddress& server) { m_lookupServer = server; }
    void SetComponentWebServer(const std::string& url) { m_webServer = url; }
    void SetLookupTimeLimit(std::chrono::milliseconds limit) { m_connection.SetTimeLimit(limit); }

    // Finds the units, connects to the lookup server and announces the steps. False when
    // cancelled first: nothing is asked then.
    bool Begin(const CCancelled& cancelled);
    // One step; false once nothing is left (that last call still reports a step).
    bool Step();
    // Closes the connection to the lookup server.
    void End();

    // Fetches the catalogue entries of every component found; error says which failed.
    bool FetchCatalogue(std::string& error);
    // Asks the component web server, once the catalogue is fetched, which advisories affect
    // what was found; NoData and Failed leave none (error then says why).
    CAdvisoryClient::CResult FetchAdvisories(std::string& error);
    // Writes the Local index at path from the results, the fetched entries and advisories.
    bool WriteIndex(const std::string& path) const;

    const std::vector<std::string>& GetNames() const { return m_names; }
    const CScanResults& GetResults() const { return m_results; }
    const CCatalogueEntries& GetCatalogue() const { return m_catalogue; }
    const CAdvisoryClient& GetAdvisories() const { return m_advisories; }
    // The lookup server could not be reached, or failed during the location scan.
    bool LookupFailed() const { return m_lookupFailed; }
    // Requests sent to the lookup server, known once End has returned.
    size_t GetLookupRequests() const { return m_lookupRequests; }
    // Distinct names looked up so far; may be read while the scan runs.
    size_t GetNamesLookedUp() const { return m_lookup.GetNamesLookedUp(); }
    // The scan locations' archives and class trees, known once Begin has returned.
    size_t GetItemCount() const { return m_sources.GetItemCount(); }
    const std::string& GetItemPath(size_t index) const { return m_sources.GetItemPath(index); }

private:
    bool Connect();
    void LookUpNextName();
    bool ScanItem(size_t index);
    void Report(CEvent event, size_t value) const;

    CLookupConnection m_connection;
    CLookupService m_lookup;
    CScanSources m_sources;
    std::vector<std::unique_ptr<IMatcher>> m_matchers;
    CScanResults m_results;
    CCatalogueEntries m_catalogue;
    CAdvisoryClient m_advisories;
    std::vector<std::string> m_names;
    std::vector<std::string> m_nameSources;  // the CLASSPATH element each name came from
    size_t m_position = 0;
    size_t m_item = 0;
    std::string m_classPath;
    std::vector<std::string> m_locations;
    CProgress m_progress;
    std::optional<CServerAddress> m_lookupServer;
    std::optional<std::string> m_webServer;
    bool m_lookupFailed = false;
    size_t m_lookupRequests = 0;  // on connections closed before the current one
};
