// The lookup server's GETCOUNT over a generated catalogue of a million classes: the count
// itself, and a whole request over loopback; and the one-off cost of building the counts.

#include <cstdio>
#include <memory>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "AccessLog.h"
#include "CatalogueClasses.h"
#include "CatalogueSearch.h"
#include "LookupDatabase.h"
#include "Site.h"
#include "LookupServer.h"

namespace
{
constexpr int kClasses = 1000000;

// Ten top-level domains, 5,000 packages three or four segments deep, 200 classes each, one
// in ten nested; 20,000 components, each holding one or two packages' classes.
void Fill(CLookupDatabase& database, int classes)
{
    static const char* const kDomains[] = {"com.", "org.", "net.", "io.", "de.", "fr.", "uk.", "jp.", "edu.", "gov."};
    char name[128];
    char scid[16];
    for (int i = 0; i < classes; ++i) {
        int package = i / 200;
        int component = 1000000 + (package * 4 + (i % 2)) % 20000;
        int length = std::snprintf(name, sizeof name, "%svendor%d.lib%d.%spart%d.Type%d%s", kDomains[package % 10],
                                   package % 700, package % 37, package % 3 == 0 ? "impl." : "", package,
                                   i % 200, i % 10 == 0 ? ".Inner" : "");
        std::snprintf(scid, sizeof scid, "%d", component);
        database.Add(std::string_view(name, static_cast<size_t>(length)), scid);
    }
    database.Build();
}

const CLookupDatabase& Catalogue()
{
    static CLookupDatabase* database = [] {
        auto* made = new CLookupDatabase;
        Fill(*made, kClasses);
        return made;
    }();
    return *database;
}

void BM_CountOneSegmentPrefix(benchmark::State& state)
{
    const CLookupDatabase& database = Catalogue();
    for (auto _ : state)
        benchmark::DoNotOptimize(database.CountComponents("com."));
    state.counters["components"] = database.CountComponents("com.");
}
BENCHMARK(BM_CountOneSegmentPrefix);

void BM_CountPackageAndClass(benchmark::State& state)
{
    const CLookupDatabase& database = Catalogue();
    for (auto _ : state) {
        benchmark::DoNotOptimize(database.CountComponents("org.vendor1.lib1."));
        benchmark::DoNotOptimize(database.CountComponents("org.vendor1.lib1.part1.Type7"));
    }
}
BENCHMARK(BM_CountPackageAndClass);

void BM_GetCountOverLoopback(benchmark::State& state)
{
    CAccessLog log;
    CLookupServer server(Catalogue(), log, 60);
    std::string error;
    if (!server.Start({"127.0.0.1", 0}, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    char buffer[1024];
    ::recv(socket, buffer, sizeof buffer, 0);
    for (auto _ : state) {
        ::send(socket, "GETCOUNT com.\n", 14, 0);
        benchmark::DoNotOptimize(::recv(socket, buffer, sizeof buffer, 0));
    }
    ::close(socket);
}
BENCHMARK(BM_GetCountOverLoopback)->UseRealTime();

void BM_BuildMillionClassTable(benchmark::State& state)
{
    for (auto _ : state) {
        CLookupDatabase database;
        Fill(database, kClasses);
        benchmark::DoNotOptimize(database.ClassCount());
    }
}
BENCHMARK(BM_BuildMillionClassTable)->Iterations(1)->Unit(benchmark::kMillisecond);
}  // namespace

// The Local search's classes over a million classes whose simple names are mostly distinct
// (three words of a vocabulary and a number, as a large organisation's libraries have them):
// the one-off index of simple names (its time and the memory it takes), then searches.
std::unique_ptr<CLookupDatabase> DistinctNames(int classes)
{
    static const char* const kWords[] = {"Abstract", "Http",   "Stream", "Buffer", "Reader",  "Writer", "Json",
                                         "Xml",      "Parser", "Cache",  "Map",    "Hash",    "Tree",   "Node",
                                         "Client",   "Server", "Socket", "File",   "Utils",   "Factory", "Builder",
                                         "Config",   "Event",  "Queue",  "Task",   "Worker",  "Thread", "Lock",
                                         "Concurrent", "Default", "Simple", "Base", "Handler", "Filter", "Codec",
                                         "Token",    "Lexer",  "Graph",  "Index",  "Query"};
    constexpr int kWordCount = sizeof kWords / sizeof kWords[0];
    auto database = std::make_unique<CLookupDatabase>();
    char name[160];
    char scid[16];
    for (int i = 0; i < classes; ++i) {
        const int package = i / 50;
        int length = std::snprintf(name, sizeof name, "org.vendor%d.lib%d.%s%s%s%d", package % 900, package,
                                   kWords[i % kWordCount], kWords[(i / kWordCount) % kWordCount],
                                   kWords[(i / (kWordCount * kWordCount)) % kWordCount], i % 7);
        std::snprintf(scid, sizeof scid, "%d", 1000000 + package % 40000);
        database->Add(std::string_view(name, static_cast<size_t>(length)), scid);
    }
    database->Build();
    return database;
}

long ResidentKiB()
{
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void BM_ClassSearchIndex(benchmark::State& state)
{
    auto database = DistinctNames(kClasses);
    CSite site;
    CCatalogueSearch catalogue(site);
    for (auto _ : state) {
        CCatalogueClasses classes(*database, catalogue);
        const long before = ResidentKiB();
        benchmark::DoNotOptimize(classes.Search("x", 1));  // builds the index
        state.counters["index MiB"] = static_cast<double>(ResidentKiB() - before) / 1024.0;
    }
}
BENCHMARK(BM_ClassSearchIndex)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ClassSearch(benchmark::State& state)
{
    static const char* const kQueries[] = {"FU", "HashMap", "concurrent map", "Json*Reader", "org.vendor7.lib7.Json"};
    static auto database = DistinctNames(kClasses);
    static CSite site;
    static CCatalogueSearch catalogue(site);
    static CCatalogueClasses classes(*database, catalogue);
    classes.Search("x", 1);
    size_t hits = 0;
    for (auto _ : state)
        hits += classes.Search(kQueries[state.range(0)], CCatalogueClasses::kSearchLimit).size();
    state.SetLabel(kQueries[state.range(0)]);
    state.counters["hits"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ClassSearch)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
