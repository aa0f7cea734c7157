#include "ScanCommand.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "ErrorReport.h"
#include "FileUtil.h"
#include "IndexWriter.h"
#include "RegistryFile.h"
#include "ReportFormats.h"
#include "ScanPipeline.h"
#include "Settings.h"

using namespace std::chrono_literals;

namespace
{
std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) { g_interrupted = true; }

// While the scan runs, Ctrl-C ends it between two steps; afterwards it ends the program at
// once, which loses nothing, since every file is replaced by a rename.
void CatchInterrupts(bool catchThem)
{
    struct sigaction action{};
    action.sa_handler = catchThem ? OnInterrupt : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::string Seconds(std::chrono::steady_clock::duration elapsed)
{
    const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

// A new file gets the usual mode; a file replaced keeps its own.
unsigned OutputMode(const std::string& path)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
}  // namespace

CScanCommand::CScanCommand(const CScanOptions& options, int out, int err, bool outIsTerminal)
    : m_options(options)
    , m_out(out)
    , m_err(err)
    , m_format(options.format.value_or(outIsTerminal && options.output.empty() ? CReportFormat::Table
                                                                               : CReportFormat::Json))
    , m_progress(err, !options.quiet)
{
}

int CScanCommand::Run()
{
    if (!CheckPaths())
        return kExitMissingPath;

    // Standard output carries the report: the scan's diagnostics go to standard error, and
    // only under CORVANE_DEBUG.
    CScanPipeline scan(CPrefixCache::Process(), DebugOutput);
    if (m_options.paths.empty()) {
        const char* classPath = std::getenv("CLASSPATH");
        scan.SetClassPath(classPath ? classPath : "");
        scan.SetLocations(GetScanLocations());
    } else {
        scan.SetLocations(m_options.paths);
    }
    if (m_options.lookup)
        scan.SetLookupServer(*m_options.lookup);
    if (m_options.server)
        scan.SetComponentWebServer(*m_options.server);

    if (!RunScan(scan)) {
        m_progress.Clear();
        Message("interrupted; nothing written");
        return kExitInterrupted;
    }
    m_progress.Clear();

    if (scan.LookupFailed()) {
        const CServerAddress server = m_options.lookup ? *m_options.lookup : LookupServer();
        Message("no lookup server answers at " + server.host + ":" + std::to_string(server.port) + " (" +
                LookupSource() + "); nothing written");
        return kExitServer;
    }
    std::string error;
    if (!scan.FetchCatalogue(error)) {
        Message("cannot fetch " + error + " (component web server " +
                (m_options.server ? *m_options.server : GetComponentWebServer()) + ", " + ServerSource() +
                "); nothing written");
        return kExitServer;
    }

    // Known vulnerabilities are an addition: a server that has none, or cannot say, leaves
    // the report as it would be without them.
    // Only a gate (--fail-on) cannot pass without an answer: the report is written all the same.
    const bool advisoriesFailed = scan.FetchAdvisories(error) == CAdvisoryClient::CResult::Failed;
    if (advisoriesFailed)
        Message("warning: no advisories (" + ServerSource() + "): " + error);

    size_t places = 0;
    bool vulnerable = false;
    const std::string report = Report(scan, places, vulnerable);
    if (m_options.updateIndex && !scan.WriteIndex(CIndexWriter::IndexPath(false))) {
        Message("cannot write the Local index " + CIndexWriter::IndexPath(false) + " (setting Data in " +
                CRegistryFile::DefaultPath() + ")");
        return kExitWrite;
    }
    if (!WriteReport(report))
        return kExitWrite;

    if (m_progress.IsShown()) {
        const size_t components = scan.GetResults().GetComponents().size();
        const size_t unknown = scan.GetResults().GetUnidentified().size();
        Message(std::to_string(components) + (components == 1 ? " component" : " components") + " in " +
                std::to_string(places) + (places == 1 ? " place" : " places") + ", " + std::to_string(unknown) +
                (unknown == 1 ? " archive" : " archives") + " not in the catalogue (" +
                std::to_string(scan.GetItemCount()) + " archives and class trees, " +
                std::to_string(scan.GetNamesLookedUp()) + " names looked up, " +
                Seconds(std::chrono::steady_clock::now() - m_started) + ")");
    }
    if (vulnerable) {
        Message("a known vulnerability of severity " + *m_options.failOn + " or above affects a component found");
        return kExitVulnerable;
    }
    if (advisoriesFailed && m_options.failOn) {
        Message("--fail-on " + *m_options.failOn + ": the server could not say which known vulnerabilities affect "
                "the components found");
        return kExitServer;
    }
    return kExitDone;
}

bool CScanCommand::CheckPaths()
{
    bool ok = true;
    for (const std::string& path : m_options.paths) {
        struct stat st{};
        if (::stat(path.c_str(), &st) != 0) {
            Message(path + ": " + std::strerror(errno));
            ok = false;
        }
    }
    return ok;
}

bool CScanCommand::RunScan(CScanPipeline& scan)
{
    CatchInterrupts(true);
    m_started = std::chrono::steady_clock::now();
    bool started = false;
    size_t item = 0;
    auto shown = std::chrono::steady_clock::time_point();
    scan.SetProgress([&](CScanPipeline::CEvent event, size_t value) {
        started = started || event == CScanPipeline::CEvent::Started;
        if (event == CScanPipeline::CEvent::Item)
            item = value + 1;
        // A few times a second is enough for the eye and costs the scan nothing.
        if (std::chrono::steady_clock::now() - shown >= 100ms) {
            ShowProgress(scan, started, item);
            shown = std::chrono::steady_clock::now();
        }
    });
    ShowProgress(scan, false, 0);
    // Ctrl-C ends the scan between two steps.
    if (scan.Begin([] { return g_interrupted.load(); })) {
        while (!g_interrupted && scan.Step()) {
        }
    }
    scan.End();
    scan.SetProgress({});
    CatchInterrupts(false);
    return !g_interrupted;
}

void CScanCommand::ShowProgress(const CScanPipeline& scan, bool started, size_t item)
{
    if (!m_progress.IsShown())
        return;
    if (!started) {
        m_progress.Show("corvane-scan: looking for archives and class trees ...");
        return;
    }
    const size_t names = scan.GetNamesLookedUp();
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    std::string text = "corvane-scan: ";
    if (item == 0) {
        text += "CLASSPATH";
    } else {
        const std::string path = scan.GetItemPath(item - 1);
        text += std::to_string(item) + " of " + std::to_string(scan.GetItemCount()) + " archives read";
        text += " (" + path.substr(path.rfind('/') + 1) + ")";
    }
    text += ", " + std::to_string(names) + " names looked up";
    if (elapsed > 0.5)
        text += ", " + std::to_string(static_cast<long>(names / elapsed)) + "/s";
    m_progress.Show(text);
}

std::string CScanCommand::Report(const CScanPipeline& scan, size_t& places, bool& vulnerable) const
{
    const CAdvisoryClient* advisories = scan.GetAdvisories().HasData() ? &scan.GetAdvisories() : nullptr;
    const std::vector<CReportedComponent> components = ReportComponents(
        scan.GetResults().GetComponents(), scan.GetCatalogue(), m_format == CReportFormat::CycloneDx, advisories);
    const std::vector<CUnidentified>& unidentified = scan.GetResults().GetUnidentified();
    places = 0;
    for (const CReportedComponent& component : components)
        places += component.finds.size();
    vulnerable = advisories && m_options.failOn &&
                 AnyAdvisoryMeets(components, unidentified, *advisories, *m_options.failOn);
    switch (m_format) {
    case CReportFormat::Table:
        return FormatTable(components, unidentified, advisories);
    case CReportFormat::Json:
        return FormatJson(components, unidentified, advisories);
    case CReportFormat::CycloneDx:
        break;
    }
    return FormatCycloneDx(components, unidentified, {CORVANE_VERSION, BomTimestamp(), RandomSerialNumber()},
                           advisories);
}

bool CScanCommand::WriteReport(const std::string& text)
{
    if (m_options.output.empty()) {
        if (WriteAll(m_out, text))
            return true;
        Message(std::string("cannot write the report to standard output: ") + std::strerror(errno));
        return false;
    }
    if (WriteFileAtomically(m_options.output, text, OutputMode(m_options.output)))
        return true;
    Message("cannot write " + m_options.output + ": " + std::strerror(errno));
    return false;
}

void CScanCommand::Message(const std::string& text) const { WriteAll(m_err, "corvane-scan: " + text + "\n"); }

std::string CScanCommand::LookupSource() const
{
    return m_options.lookup ? "--lookup" : "setting ComponentDatabase in " + CRegistryFile::DefaultPath();
}

std::string CScanCommand::ServerSource() const
{
    return m_options.server ? "--server" : "setting ComponentWebServer in " + CRegistryFile::DefaultPath();
}
