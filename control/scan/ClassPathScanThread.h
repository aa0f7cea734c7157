#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "MessageTarget.h"
#include "ScanPipeline.h"
#include "WorkerThread.h"

// The scan behind the "Scanning ..." dialog: the scan pipeline run one step per DoWork on a
// worker thread, reporting to the dialog with WM_SCAN_* messages. At its end it writes the
// local index, "Local/components.xml" in the data directory, or beside it with "_new"
// appended for a scan that the Options dialog commits later.
class CClassPathScanThread : public CWorkerThread
{
public:
    explicit CClassPathScanThread(CPrefixCache& cache = CPrefixCache::Process());

    // Set before Start. direct: write the index itself; otherwise the "_new" file.
    void SetClassPath(const std::string& classPath) { m_pipeline.SetClassPath(classPath); }
    void SetLocations(std::vector<std::string> locations) { m_pipeline.SetLocations(std::move(locations)); }
    void SetDirectMode(bool direct) { m_direct = direct; }
    void SetTargetWindow(HWND dialog) { m_dialog = dialog; }
    // How long the lookup server may take to connect and to answer one request.
    void SetLookupTimeLimit(std::chrono::milliseconds limit) { m_pipeline.SetLookupTimeLimit(limit); }

    // Fetches the catalogue entries of what was found and the advisories that affect it and
    // writes the output file. False when nothing was written: the file keeps its previous
    // content when an entry cannot be loaded (advisories that cannot be had are left out).
    bool SaveResults();
    std::string GetOutputPath() const;

    // Read once the thread has been shut down.
    const std::vector<std::string>& GetNames() const { return m_pipeline.GetNames(); }
    // The CLASSPATH's SCIDs, one per occurrence.
    std::vector<std::string> GetResults() const { return m_pipeline.GetResults().GetOccurrences(); }
    // Every component found, CLASSPATH and locations, each once with its places.
    std::vector<CFoundComponent> GetComponents() const { return m_pipeline.GetResults().GetComponents(); }
    const CCatalogueEntries& GetCatalogue() const { return m_pipeline.GetCatalogue(); }
    bool LookupFailed() const { return m_pipeline.LookupFailed(); }
    size_t GetLookupRequests() const { return m_pipeline.GetLookupRequests(); }
    // The location scan's archives and class trees, known once WM_SCAN_STARTED is posted.
    size_t GetItemCount() const { return m_pipeline.GetItemCount(); }
    std::string GetItemPath(size_t index) const { return m_pipeline.GetItemPath(index); }

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;

private:
    void Post(unsigned message, LPARAM lParam);

    CScanPipeline m_pipeline;
    bool m_direct = true;
    HWND m_dialog = 0;
};
