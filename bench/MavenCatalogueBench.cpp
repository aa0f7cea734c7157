// Catalogues Maven repositories and prints what it found and how long it took: versions,
// archives, classes, class files read (the fingerprints' input) and what was skipped.
//
// usage: MavenCatalogueBench [--tests] [--list] REPOSITORY... (default /usr/share/maven-repo)
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "MavenCatalogue.h"

int main(int argc, char** argv)
{
    CMavenCatalogue::COptions options;
    bool list = false;
    std::vector<std::string> repositories;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--tests")
            options.withTests = true;
        else if (std::string(argv[i]) == "--list")
            list = true;
        else
            repositories.push_back(argv[i]);
    }
    if (repositories.empty())
        repositories.push_back("/usr/share/maven-repo");

    for (bool withSink : {false, true}) {
        size_t classFiles = 0;
        size_t classBytes = 0;
        CClassSink sink = [&](const std::string&, const std::string&, std::string_view bytes) {
            ++classFiles;
            classBytes += bytes.size();
        };
        CMavenCatalogue catalogue(repositories, options);
        const auto start = std::chrono::steady_clock::now();
        catalogue.Read(withSink ? sink : CClassSink());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const CCatalogueSummary& summary = catalogue.Summary();
        std::printf("%-22s versions %zu  archives %zu  classes %zu  pom-only %zu  repeated %zu  aliases %zu  "
                    "skipped poms %zu  archives %zu  links %zu  class files %zu (%zu bytes)  %.3f s\n",
                    withSink ? "names, digests, bytes" : "names and digests", summary.versions, summary.archives,
                    summary.classes, summary.pomOnlyVersions, summary.repeatedVersions, summary.aliasVersions,
                    summary.skippedPoms.size(),
                    summary.skippedArchives.size(), summary.skippedLinks, classFiles, classBytes, seconds);
        for (const CArtifactVersion& version : list && withSink ? catalogue.Versions() : std::vector<CArtifactVersion>()) {
            std::printf("  %s:%s:%s  \"%s\"  %s  licences %zu  archives %zu\n", version.group.c_str(),
                        version.artifact.c_str(), version.version.c_str(), version.project.name.c_str(),
                        version.project.url.c_str(), version.project.licences.size(), version.archives.size());
        }
        for (const std::string& path : summary.skippedPoms)
            std::printf("  skipped POM %s\n", path.c_str());
        for (const std::string& path : summary.skippedArchives)
            std::printf("  skipped archive %s\n", path.c_str());
    }
    return 0;
}
