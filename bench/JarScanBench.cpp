// Lists every entry of every JAR under /usr/share/java with CJarScan in this process, and
// with `zipinfo -1`, one process per archive, as a user would run it; prints the ratio.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <zip.h>

#include "JarScan.h"

extern char** environ;

namespace
{
const char* const kJarDirectory = "/usr/share/java";

const std::vector<std::string>& Archives()
{
    static const std::vector<std::string> archives = [] {
        std::vector<std::string> found;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(kJarDirectory, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            if (it->path().extension() == ".jar" && it->is_regular_file(ec))
                found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }();
    return archives;
}

bool ZipinfoAvailable() { return ::access("/usr/bin/zipinfo", X_OK) == 0; }

int RunZipinfo(const std::string& archive)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "zipinfo";
    std::string option = "-1";
    std::string path = archive;
    char* argv[] = {program.data(), option.data(), path.data(), nullptr};
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, "zipinfo", &actions, nullptr, argv, environ) == 0)
        ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

void BM_JarScan(benchmark::State& state)
{
    CJarScan scan;
    size_t classes = 0;
    for (auto _ : state) {
        std::vector<std::string> names;
        for (const std::string& archive : Archives())
            scan.GetClasses(archive, names);
        classes = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["archives"] = static_cast<double>(Archives().size());
    state.counters["classes"] = static_cast<double>(classes);
}

void BM_Zipinfo(benchmark::State& state)
{
    if (!ZipinfoAvailable()) {
        state.SkipWithError("zipinfo is not installed (package unzip)");
        return;
    }
    for (auto _ : state)
        for (const std::string& archive : Archives())
            RunZipinfo(archive);
    state.counters["archives"] = static_cast<double>(Archives().size());
}

// The same listing with plain libzip and TZ unset: what the time-zone trap costs.
void BM_LibzipWithTzUnset(benchmark::State& state)
{
    std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::unsetenv("TZ");
    ::tzset();
    for (auto _ : state) {
        size_t entries = 0;
        for (const std::string& archive : Archives()) {
            zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, nullptr);
            if (!zip)
                continue;
            zip_int64_t count = zip_get_num_entries(zip, 0);
            for (zip_int64_t i = 0; i < count; ++i)
                entries += zip_get_name(zip, static_cast<zip_uint64_t>(i), 0) != nullptr;
            zip_discard(zip);
        }
        benchmark::DoNotOptimize(entries);
    }
    if (!saved.empty())
        ::setenv("TZ", saved.c_str(), 1);
    ::tzset();
}

BENCHMARK(BM_JarScan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Zipinfo)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibzipWithTzUnset)->Unit(benchmark::kMillisecond)->UseRealTime();

class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto scan = m_times.find("BM_JarScan/real_time");
        auto zipinfo = m_times.find("BM_Zipinfo/real_time");
        auto tzUnset = m_times.find("BM_LibzipWithTzUnset/real_time");
        if (scan != m_times.end() && zipinfo != m_times.end())
            GetOutputStream() << "zipinfo -1 / CJarScan: " << zipinfo->second / scan->second << " (target: 4 or more)\n";
        if (scan != m_times.end() && tzUnset != m_times.end())
            GetOutputStream() << "libzip with TZ unset / CJarScan: " << tzUnset->second / scan->second << "\n";
    }

private:
    std::map<std::string, double> m_times;
};
}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
