// A location scan of a large generated tree through the scan pipeline against a running
// lookup server, and the generator of that tree and of the lookup table the server answers
// from.
//
// usage: LargeScanBench generate TREE TABLE [ARCHIVES [CLASSES_PER_ARCHIVE]]
//          writes ARCHIVES archives (default 2000) of CLASSES_PER_ARCHIVE class entries
//          (default 500) below TREE, and TABLE ("lookup/classes.txt" of a site): every
//          second archive is a catalogued component, and as many components again are
//          catalogued that this tree does not hold
//        LargeScanBench scan TREE HOST:PORT
//          scans TREE and prints the wall time, the lookup requests and what was found
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <zip.h>

#include "ScanPipeline.h"

namespace
{
// Library k: ten packages below its own vendor's, under one of a few top-level domains, as
// the names of real libraries are spread.
std::string ClassName(const char* domain, int library, int index)
{
    static const char* const kTops[] = {"com.", "org.", "net.", "io."};
    return std::string(kTops[library % 4]) + domain + std::to_string(library) + ".lib.part" +
           std::to_string(index % 10) + (index % 3 == 0 ? ".impl" : "") + ".Type" + std::to_string(index);
}

bool WriteArchive(const std::string& path, const std::vector<std::string>& classes)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    static const char kBytes[] = "\xca\xfe\xba\xbe";
    for (const std::string& name : classes) {
        std::string entry = name;
        std::replace(entry.begin(), entry.end(), '.', '/');
        zip_source_t* source = zip_source_buffer(archive, kBytes, 4, 0);
        zip_int64_t index = source ? zip_file_add(archive, (entry + ".class").c_str(), source, ZIP_FL_OVERWRITE) : -1;
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    return zip_close(archive) == 0;
}

int Generate(const std::string& tree, const std::string& tablePath, int archives, int perArchive)
{
    std::vector<std::string> rows;
    for (int k = 0; k < archives; ++k) {
        std::vector<std::string> classes;
        for (int i = 0; i < perArchive; ++i)
            classes.push_back(ClassName(k % 2 == 0 ? "vendor" : "inhouse", k, i));
        const std::string folder = tree + "/group" + std::to_string(k % 40);
        std::filesystem::create_directories(folder);
        if (!WriteArchive(folder + "/library" + std::to_string(k) + ".jar", classes)) {
            std::fprintf(stderr, "cannot write archive %d\n", k);
            return 1;
        }
        const std::string scid = std::to_string(1000000 + k);
        if (k % 2 == 0)
            for (const std::string& name : classes)
                rows.push_back(name + "\t" + scid);
        // A catalogued component this machine does not have.
        for (int i = 0; i < perArchive; ++i)
            rows.push_back(ClassName("elsewhere", k, i) + "\t" + std::to_string(2000000 + k));
    }
    std::sort(rows.begin(), rows.end());
    std::ofstream table(tablePath, std::ios::trunc);
    for (const std::string& row : rows)
        table << row << '\n';
    table.close();
    if (!table) {
        std::fprintf(stderr, "cannot write %s\n", tablePath.c_str());
        return 1;
    }
    std::printf("%d archives of %d classes below %s; %zu catalogued class names in %s\n", archives, perArchive,
                tree.c_str(), rows.size(), tablePath.c_str());
    return 0;
}

int Scan(const std::string& tree, const std::string& lookup)
{
    const size_t colon = lookup.rfind(':');
    if (colon == std::string::npos)
        return 2;
    CPrefixCache cache;
    CScanPipeline pipeline(cache, [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); });
    pipeline.SetLocations({tree});
    pipeline.SetLookupServer({lookup.substr(0, colon), std::atoi(lookup.c_str() + colon + 1)});
    const auto start = std::chrono::steady_clock::now();
    if (!pipeline.Begin([] { return false; }))
        return 1;
    while (pipeline.Step()) {
    }
    pipeline.End();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    size_t finds = 0;
    for (const CFoundComponent& component : pipeline.GetResults().GetComponents())
        finds += component.finds.size();
    std::printf("%zu archives, %zu distinct names looked up: %.2f s, %zu lookup requests, %zu components, %zu finds%s\n",
                pipeline.GetItemCount(), pipeline.GetNamesLookedUp(), seconds, pipeline.GetLookupRequests(),
                pipeline.GetResults().GetComponents().size(), finds,
                pipeline.LookupFailed() ? " (lookup failed)" : "");
    return pipeline.LookupFailed() ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc >= 4)
        return Generate(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 2000, argc > 5 ? std::atoi(argv[5]) : 500);
    if (mode == "scan" && argc == 4)
        return Scan(argv[2], argv[3]);
    std::fprintf(stderr, "usage: LargeScanBench generate TREE TABLE [ARCHIVES [CLASSES]] | scan TREE HOST:PORT\n");
    return 2;
}
