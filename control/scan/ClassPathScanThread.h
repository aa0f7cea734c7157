#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CatalogueEntries.h"
#include "JarScan.h"
#include "LocationScan.h"
#include "LookupConnection.h"
#include "MessageTarget.h"
#include "VendorServers.h"
#include "WorkerThread.h"

// Finds the known components on this machine and writes their catalogue entries into the
// local index, "Local/components.xml" in the data directory, or beside it with "_new"
// appended for a scan that the Options dialog commits later.
//
// First the CLASSPATH: the classes of every archive and folder of it, looked up one name
// per step (repeats of a name in one step), each SCID occurrence one entry of the index.
// Then the scan locations: one archive or class tree per step, its names looked up at once
// (CLocationScan), each component one entry with the places it was found.
class CClassPathScanThread : public CWorkerThread
{
public:
    explicit CClassPathScanThread(CPrefixCache& cache = CPrefixCache::Process());

    // Set before Start. direct: write the index itself; otherwise the "_new" file.
    void SetClassPath(const std::string& classPath) { m_classPath = classPath; }
    void SetLocations(std::vector<std::string> locations) { m_locations = std::move(locations); }
    void SetDirectMode(bool direct) { m_direct = direct; }
    void SetTargetWindow(HWND dialog) { m_dialog = dialog; }
    // Whether the scan writes the index at its end (the command line may not want it).
    void SetSaveIndex(bool save) { m_saveIndex = save; }
    // Servers other than the settings name, for one scan.
    void SetLookupServer(const CServerAddress& server) { m_lookupServer = server; }
    void SetComponentWebServer(const std::string& url) { m_webServer = url; }

    // Fetches the catalogue entries of what was found and writes the output file. False
    // when nothing was written: the file keeps its previous content when an entry cannot
    // be loaded.
    bool SaveResults();
    // Fetches the catalogue entries of every component found; error says which failed.
    bool FetchCatalogue(std::string& error);
    std::string GetOutputPath() const;

    // Read once the thread has been shut down.
    const std::vector<std::string>& GetNames() const { return m_names; }
    const std::vector<std::string>& GetResults() const { return m_results; }
    // Every component found, CLASSPATH and locations, each once with its places.
    std::vector<CFoundComponent> GetComponents() const;
    const CCatalogueEntries& GetCatalogue() const { return m_catalogue; }
    // The lookup server could not be reached, or failed during the location scan.
    bool LookupFailed() const { return m_lookupFailed; }
    size_t GetLookupRequests() const { return m_lookupRequests; }
    // Distinct names looked up so far; may be read while the scan runs.
    size_t GetNamesLookedUp() const { return m_namesLookedUp; }
    // The location scan's archives and class trees, known once WM_SCAN_STARTED is posted.
    size_t GetItemCount() const { return m_locationScan ? m_locationScan->GetItemCount() : 0; }
    std::string GetItemPath(size_t index) const { return m_locationScan->GetItemPath(index); }

    // How long the lookup server may take to connect and to answer one request.
    void SetLookupTimeLimit(std::chrono::milliseconds limit) { m_connection.SetTimeLimit(limit); }

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;

private:
    void CollectNames();
    void LookUpNextName();
    bool Connect();
    void Post(unsigned message, LPARAM lParam);

    CLookupConnection m_connection;
    CJarScan m_jarScan;
    std::vector<std::string> m_names;
    std::vector<std::string> m_nameSources;  // the CLASSPATH element each name came from
    size_t m_position = 0;
    std::vector<std::string> m_results;
    std::vector<std::string> m_resultSources;
    std::unique_ptr<CLocationScan> m_locationScan;
    size_t m_item = 0;
    std::string m_classPath;
    std::vector<std::string> m_locations;
    bool m_direct = true;
    bool m_saveIndex = true;
    bool m_lookupFailed = false;
    size_t m_lookupRequests = 0;
    std::atomic<size_t> m_namesLookedUp{0};
    std::optional<CServerAddress> m_lookupServer;
    std::optional<std::string> m_webServer;
    CCatalogueEntries m_catalogue;
    HWND m_dialog = 0;
};
