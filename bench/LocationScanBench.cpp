// The location scan against the one-name-per-step CLASSPATH scan over the same archives:
// wall time, lookup requests, catalogue fetches and components found. The settings (the
// registry file named by CORVANE_REGISTRY) point at a running vantrel-server.
//
// usage: LocationScanBench FOLDER
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ClassPathScanThread.h"
#include "MessageQueue.h"
#include "Messages.h"

namespace
{
struct CRun
{
    double seconds = 0;
    size_t names = 0;
    size_t requests = 0;
    size_t fetches = 0;
    size_t components = 0;
    bool failed = false;
};

CRun Scan(const std::string& classPath, const std::vector<std::string>& locations)
{
    CPrefixCache cache;  // each run starts with nothing known
    CMessageQueue queue;
    CWorker<CClassPathScanThread> scan(cache);
    scan.SetClassPath(classPath);
    scan.SetLocations(locations);
    scan.SetTargetWindow(queue.GetHandle());
    auto start = std::chrono::steady_clock::now();
    scan.Start();
    CMessage message;
    while (queue.GetMessage(message, std::chrono::hours(1)) && message.message != WM_SCAN_FINISHED) {
    }
    scan.Shutdown();
    CRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.names = scan.GetNames().size();
    run.requests = scan.GetLookupRequests();
    run.fetches = scan.GetCatalogue().GetFetchCount();
    run.components = scan.GetComponents().size();
    run.failed = scan.LookupFailed();
    return run;
}

void Print(const char* title, const CRun& run)
{
    std::printf("%-34s %8.2f s  %7zu lookup requests  %4zu catalogue fetches  %4zu components%s\n", title,
                run.seconds, run.requests, run.fetches, run.components, run.failed ? "  (lookup failed)" : "");
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: LocationScanBench FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::string classPath;
    size_t archives = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = entry.path().string();
        if (entry.is_regular_file() && (path.ends_with(".jar") || path.ends_with(".zip"))) {
            classPath += (classPath.empty() ? "" : ":") + path;
            ++archives;
        }
    }
    std::printf("%zu archives below %s\n", archives, folder.c_str());
    const CRun location = Scan("", {folder});
    Print("location scan", location);
    if (std::getenv("SKIP_STEPWISE"))
        return 0;
    const CRun stepwise = Scan(classPath, {});
    Print("one name per 5 ms step (CLASSPATH)", stepwise);
    // One name per step waits 5 ms after every name: the pauses alone, before any answer.
    const double floor = static_cast<double>(stepwise.names) * 0.005;
    std::printf("the same %zu names one per 5 ms step: at least %.1f s; location scan %.1f times faster\n",
                stepwise.names, floor, floor / location.seconds);
    std::printf("the CLASSPATH scan with repeats in one step: location scan %.1f times faster\n",
                stepwise.seconds / location.seconds);
    std::printf("per component: location scan %.2f lookup requests, %.2f catalogue fetches\n",
                static_cast<double>(location.requests) / static_cast<double>(location.components),
                static_cast<double>(location.fetches) / static_cast<double>(location.components));
    return location.failed || stepwise.failed ? 1 : 0;
}
