#pragma once

#include <chrono>
#include <string>

#include "ProgressLine.h"
#include "ScanOptions.h"

class CScanPipeline;

// corvane-scan's exit status.
enum : int
{
    kExitDone = 0,
    kExitServer = 1,  // no lookup server, or a catalogue entry that cannot be fetched
    kExitUsage = 2,
    kExitMissingPath = 3,
    kExitWrite = 4,         // the output file or the index cannot be written
    kExitVulnerable = 5,    // --fail-on: an advisory at or above its severity affects a component found
    kExitInterrupted = 130  // SIGINT or SIGTERM
};

// One run of corvane-scan: the scan of the core, its catalogue entries, the report.
class CScanCommand
{
public:
    // out: where the report goes without --output; err: messages and the progress line;
    // outIsTerminal: whether the report would reach a person.
    CScanCommand(const CScanOptions& options, int out, int err, bool outIsTerminal);
    int Run();

private:
    bool CheckPaths();
    // False when interrupted.
    bool RunScan(CScanPipeline& scan);
    void ShowProgress(const CScanPipeline& scan, bool started, size_t item);
    // vulnerable: --fail-on is met.
    std::string Report(const CScanPipeline& scan, size_t& places, bool& vulnerable) const;
    bool WriteReport(const std::string& text);
    void Message(const std::string& text) const;
    std::string LookupSource() const;
    std::string ServerSource() const;

    const CScanOptions& m_options;
    int m_out;
    int m_err;
    CReportFormat m_format;
    CProgressLine m_progress;
    std::chrono::steady_clock::time_point m_started;
};
