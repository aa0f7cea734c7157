#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <sys/types.h>

#include "JarScan.h"
#include "LookupConnection.h"
#include "MessageTarget.h"
#include "WorkerThread.h"

// Finds the known components on this machine: lists the classes of every archive and
// directory of a CLASSPATH, looks each class name up on the lookup server (one name per
// step) and writes the catalogue entries of the components found into the local index,
// "Local/components.xml" in the data directory, or beside it with "_new" appended for a
// scan that the Options dialog commits later.
class CClassPathScanThread : public CWorkerThread
{
public:
    explicit CClassPathScanThread(CPrefixCache& cache = CPrefixCache::Process());

    // Set before Start. direct: write the index itself; otherwise the "_new" file.
    void SetClassPath(const std::string& classPath) { m_classPath = classPath; }
    void SetDirectMode(bool direct) { m_direct = direct; }
    void SetTargetWindow(HWND dialog) { m_dialog = dialog; }

    // Writes the output file from the result list. False when nothing was written: the
    // file keeps its previous content when a catalogue entry cannot be loaded.
    bool SaveResults();
    std::string GetOutputPath() const;

    // Read once the thread has been shut down.
    const std::vector<std::string>& GetNames() const { return m_names; }
    const std::vector<std::string>& GetResults() const { return m_results; }

    // How long the lookup server may take to connect and to answer one request.
    void SetLookupTimeLimit(std::chrono::milliseconds limit) { m_connection.SetTimeLimit(limit); }

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;

private:
    struct CDirectoryId
    {
        dev_t device;
        ino_t inode;
        bool operator==(const CDirectoryId&) const = default;
    };

    void CollectNames();
    void WalkDirectory(const std::string& directory, std::vector<CDirectoryId>& ancestors);
    void Post(unsigned message, LPARAM lParam);

    CLookupConnection m_connection;
    CJarScan m_jarScan;
    std::vector<std::string> m_names;
    size_t m_position = 0;
    std::vector<std::string> m_results;
    std::string m_classPath;
    bool m_direct = true;
    HWND m_dialog = 0;
};
