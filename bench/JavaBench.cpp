// Lists a 5,000-class package file and a 100-technology index with the Java data manager,
// from files in a private data directory (no network).

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "JavaItem.h"
#include "JavaItemDataManager.h"
#include "Registry.h"
#include "Settings.h"
#include "support/HeadlessModalRunner.h"

namespace
{
constexpr int kClasses = 5000;
constexpr int kTechnologies = 100;
constexpr int kPackagesPerTechnology = 50;

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A data directory with the index, the preferences and one large package file, and a
// registry file that points at it; removed at exit.
class CBenchData
{
public:
    CBenchData()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvane-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        std::filesystem::create_directories(m_root / "data/Java/tech0");
        ::setenv("CORVANE_REGISTRY", (m_root / "registry.reg").c_str(), 1);
        RegCreateKey(HKEY_LOCAL_MACHINE, kMainKey);
        RegWriteString(HKEY_LOCAL_MACHINE, kMainKey, "Data", (m_root / "data").string());

        std::string index = "<?xml version=\"1.0\"?>\n<javatab>\n";
        std::string preferences = "<preferences><javatab><display>\n";
        for (int t = 0; t < kTechnologies; ++t) {
            std::string id = "tech" + std::to_string(t);
            // Display texts in an order other than the identifiers', so the sort has work.
            index += "  <technology name=\"" + id + "\" display=\"Technology " + std::to_string((t * 37) % 101) +
                     "\" docroot=\"http://docs.example/" + id + "/api/\">\n";
            for (int p = 0; p < kPackagesPerTechnology; ++p)
                index += "    <package name=\"org.example.p" + std::to_string(p) + "\"/>\n";
            index += "  </technology>\n";
            preferences += "<technology name=\"" + id + "\" show=\"" + (t % 10 == 9 ? "0" : "1") + "\"/>\n";
        }
        WriteText(m_root / "data/Java/index.xml", index + "</javatab>\n");
        WriteText(m_root / "data/preferences.xml", preferences + "</display></javatab></preferences>\n");

        std::string package = "<?xml version=\"1.0\"?>\n<package name=\"org.example.big\">\n";
        for (int c = 0; c < kClasses; ++c) {
            std::string name = "Class" + std::to_string((c * 7919) % kClasses);
            if (c % 10 == 1)
                name += "$Inner";
            else if (c % 10 == 2)
                name += "$1";
            else if (c % 50 == 3)
                name = "Class0";  // duplicates for Unique
            package += "  <class><className>" + name + "</className><superclass>java.lang.Object</superclass></class>\n";
        }
        WriteText(m_root / "data/Java/tech0/org.example.big.xml", package + "</package>\n");
    }

    ~CBenchData()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

private:
    std::filesystem::path m_root;
};

CBenchData& Data()
{
    static CBenchData data;
    return data;
}

void BM_ListClassesOf5000ClassPackage(benchmark::State& state)
{
    Data();
    CHeadlessModalRunner runner;
    CJavaItemDataManager manager(runner);
    CJavaItem package(ITEM_SUBGROUP, "org.example.big", "tech0", "http://docs.example/tech0/api/",
                      "org.example.big", "", "");
    CItemList classes;
    for (auto _ : state) {
        if (!manager.ListChildItems(package, classes))
            state.SkipWithError("listing failed");
        benchmark::DoNotOptimize(classes.GetCount());
    }
    state.counters["classes"] = static_cast<double>(classes.GetCount());
}
BENCHMARK(BM_ListClassesOf5000ClassPackage)->Unit(benchmark::kMillisecond);

void BM_ListTechnologiesOf100TechnologyIndex(benchmark::State& state)
{
    Data();
    CHeadlessModalRunner runner;
    CItemList technologies;
    for (auto _ : state) {
        // A new manager each time: the index is loaded once per manager.
        CJavaItemDataManager manager(runner);
        if (!manager.ListJavaTechnologies(technologies))
            state.SkipWithError("listing failed");
        benchmark::DoNotOptimize(technologies.GetCount());
    }
    state.counters["technologies"] = static_cast<double>(technologies.GetCount());
}
BENCHMARK(BM_ListTechnologiesOf100TechnologyIndex)->Unit(benchmark::kMillisecond);

void BM_ListPackagesOfOneTechnology(benchmark::State& state)
{
    Data();
    CHeadlessModalRunner runner;
    CJavaItemDataManager manager(runner);
    CJavaItem technology(ITEM_GROUP, "Technology", "tech99", "D/", "", "", "");
    CItemList packages;
    for (auto _ : state) {
        if (!manager.ListChildItems(technology, packages))
            state.SkipWithError("listing failed");
        benchmark::DoNotOptimize(packages.GetCount());
    }
    state.counters["packages"] = static_cast<double>(packages.GetCount());
}
BENCHMARK(BM_ListPackagesOfOneTechnology)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
