// Known vulnerabilities in memory: reading and loading 20,000 generated OSV records from a
// ZIP archive as the bulk exports publish them, and matching 10,000 components against them.
// "AdvisoryBench --write PREFIX" writes the records to PREFIX.zip and the components, as the
// scan asks the server about them, to PREFIX.txt, for bench/advisory-store.sh.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>
#include <zip.h>

#include <benchmark/benchmark.h>

#include "AdvisoryLoader.h"
#include "AdvisorySet.h"

namespace
{
constexpr int kRecords = 20000;
constexpr int kPackages = 4000;  // five records a package on average
constexpr int kComponents = 10000;

std::string Package(int n) { return "org.vendor" + std::to_string(n % 97) + ".lib:artifact-" + std::to_string(n); }

std::string Version(int major, int minor, int patch, const char* qualifier = "")
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) + qualifier;
}

// Shaped like the records of the bulk export: aliases, a CVSS vector, a few hundred bytes of
// text, one or two ranges and the affected versions listed.
std::string Record(int n, std::mt19937& random)
{
    const int major = 1 + static_cast<int>(random() % 5);
    std::string events = R"([{"introduced": ")" + (n % 3 == 0 ? std::string("0") : Version(major, 0, 0)) +
                         R"("}, {"fixed": ")" + Version(major, 2 + static_cast<int>(random() % 8), 1) + R"("}])";
    std::string ranges = R"([{"type": "ECOSYSTEM", "events": )" + events + "}";
    if (n % 4 == 0)
        ranges += R"(, {"type": "ECOSYSTEM", "events": [{"introduced": ")" + Version(major + 1, 0, 0, "-rc1") +
                  R"("}, {"last_affected": ")" + Version(major + 1, 3, 0) + R"("}]})";
    ranges += "]";
    std::string versions;
    for (int v = 0; v < 40; ++v)  // as OSV.dev lists every affected release
        versions += std::string(v ? ", " : "") + "\"" + Version(major, v / 10, v % 10) + "\"";
    return R"({"schema_version": "1.4.0", "id": "GHSA-gen-)" + std::to_string(n) +
           R"(", "modified": "2024-05-01T12:00:00Z", "published": "2024-04-01T12:00:00Z", "aliases": ["CVE-2024-)" +
           std::to_string(10000 + n) + R"("], "summary": "Generated flaw )" + std::to_string(n) +
           R"(", "details": ")" + std::string(400, 'd') +
           R"(", "severity": [{"type": "CVSS_V3", "score": "CVSS:3.1/AV:N/AC:L/PR:N/UI:N/S:U/C:H/I:H/A:H"}],
           "affected": [{"package": {"ecosystem": "Maven", "name": ")" + Package(n % kPackages) +
           R"("}, "ranges": )" + ranges + R"(, "versions": [)" + versions +
           R"(]}], "database_specific": {"severity": "HIGH", "github_reviewed": true, "cwe_ids": ["CWE-502"]}})";
}

// A temporary folder, removed at exit.
struct CScratch
{
    std::string path;
    CScratch()
    {
        char folder[] = "/tmp/advisory-bench-XXXXXX";
        if (!mkdtemp(folder))
            std::abort();
        path = folder;
    }
    ~CScratch() { std::filesystem::remove_all(path); }
};

void WriteArchive(const std::string& file)
{
    {
        std::mt19937 random(27);
        std::vector<std::string> texts;
        texts.reserve(kRecords);
        zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
        if (!archive)
            std::abort();
        for (int n = 0; n < kRecords; ++n) {
            texts.push_back(Record(n, random));
            zip_source_t* source = zip_source_buffer(archive, texts.back().data(), texts.back().size(), 0);
            if (!source || zip_file_add(archive, ("GHSA-gen-" + std::to_string(n) + ".json").c_str(), source, 0) < 0)
                std::abort();
        }
        if (zip_close(archive) != 0)
            std::abort();
    }
}

// The archive, written once per run.
const std::string& Archive()
{
    static CScratch scratch;
    static const std::string path = [] {
        std::string file = scratch.path + "/Maven-all.zip";
        WriteArchive(file);
        return file;
    }();
    return path;
}

void BM_LoadArchive(benchmark::State& state)
{
    const std::string& archive = Archive();
    for (auto _ : state) {
        CAdvisorySet set;
        CAdvisoryLoadReport report = CAdvisoryLoader(set).Load(archive);
        if (report.loaded != kRecords)
            state.SkipWithError("not every record loaded");
        benchmark::DoNotOptimize(set.Size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LoadArchive)->Unit(benchmark::kMillisecond);

struct CComponent
{
    std::string package;
    std::string version;
};

// Four in five components name a package with records, at versions around their ranges.
std::vector<CComponent> Components()
{
    std::mt19937 random(7);
    std::vector<CComponent> components;
    for (int i = 0; i < kComponents; ++i) {
        const int package = static_cast<int>(random() % kPackages) + (i % 5 == 0 ? kPackages : 0);
        components.push_back({Package(package), Version(1 + static_cast<int>(random() % 6), static_cast<int>(random() % 10),
                                                        static_cast<int>(random() % 4))});
    }
    return components;
}

void BM_Match(benchmark::State& state)
{
    CAdvisorySet set;
    CAdvisoryLoader(set).Load(Archive());
    const std::vector<CComponent> components = Components();
    size_t affected = 0;
    for (auto _ : state) {
        affected = 0;
        for (const CComponent& component : components) {
            // The version text is parsed here, as a scan hands it over.
            auto version = CMavenVersion::Parse(component.version);
            affected += set.Match(component.package, *version).affecting.size();
        }
        benchmark::DoNotOptimize(affected);
    }
    state.counters["affected"] = static_cast<double>(affected);
    state.SetItemsProcessed(state.iterations() * kComponents);
}
BENCHMARK(BM_Match)->Unit(benchmark::kMillisecond);

// The same with the versions parsed beforehand, as a catalogue holds them.
void BM_MatchParsed(benchmark::State& state)
{
    CAdvisorySet set;
    CAdvisoryLoader(set).Load(Archive());
    std::vector<std::pair<std::string, CMavenVersion>> components;
    for (const CComponent& component : Components())
        components.emplace_back(component.package, *CMavenVersion::Parse(component.version));
    for (auto _ : state) {
        size_t affected = 0;
        for (const auto& [package, version] : components)
            affected += set.Match(package, version).affecting.size();
        benchmark::DoNotOptimize(affected);
    }
    state.SetItemsProcessed(state.iterations() * kComponents);
}
BENCHMARK(BM_MatchParsed)->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) {
        WriteArchive(std::string(argv[2]) + ".zip");
        std::ofstream question(std::string(argv[2]) + ".txt");
        for (const CComponent& component : Components())
            question << component.package << '\t' << component.version << '\n';
        return question.good() ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
