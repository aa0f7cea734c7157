// Class fingerprints per second over the classes of the JARs in /usr/share/java that the
// build installs, read into memory first: as the plain class and as a relocated copy would
// be asked (with a prefix to remove).

#include <filesystem>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "ClassFingerprint.h"
#include "support/TestArchives.h"

namespace
{
const std::vector<std::string>& Classes()
{
    static const std::vector<std::string> classes = [] {
        std::vector<std::string> found;
        for (const char* jar : {"guava", "commons-lang3", "commons-io", "jsoup", "jackson-core"}) {
            const std::string path = std::string("/usr/share/java/") + jar + ".jar";
            if (!std::filesystem::exists(path))
                continue;
            for (auto& [name, bytes] : ArchiveEntries(path))
                if (name.ends_with(".class") && name != "module-info.class")
                    found.push_back(std::move(bytes));
        }
        return found;
    }();
    return classes;
}

void Fingerprint(benchmark::State& state, const char* prefix)
{
    const std::vector<std::string>& classes = Classes();
    if (classes.empty()) {
        state.SkipWithError("no JARs in /usr/share/java: run scripts/install-deps.sh");
        return;
    }
    size_t at = 0, bytes = 0, failed = 0;
    for (auto _ : state) {
        const std::string& bytesOfClass = classes[at];
        const auto fingerprint = CClassFingerprint::Compute(bytesOfClass, prefix);
        benchmark::DoNotOptimize(fingerprint);
        failed += fingerprint ? 0 : 1;
        bytes += bytesOfClass.size();
        at = (at + 1) % classes.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["classes"] = static_cast<double>(classes.size());
    state.counters["unparsed"] = static_cast<double>(failed);
}
}  // namespace

BENCHMARK_CAPTURE(Fingerprint, plain, "")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Fingerprint, relocated, "shaded/")->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
