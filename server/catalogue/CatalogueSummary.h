#pragma once

#include <string>
#include <vector>

// What a catalogue run found and what it had to leave out; nothing it skips is fatal.
struct CCatalogueSummary
{
    size_t components = 0;
    size_t versions = 0;
    size_t archives = 0;
    size_t classes = 0;
    size_t pomOnlyVersions = 0;    // parents and other POM-only versions: not components
    size_t repeatedVersions = 0;   // found again in a later repository
    size_t aliasVersions = 0;      // Debian's "debian" and "2.x" folders beside the real version
    size_t skippedLinks = 0;       // folder links out of a repository or round in a loop
    size_t lookupClasses = 0;      // the lookup table's class names, each once
    size_t fingerprints = 0;       // rows of the fingerprint table
    size_t emptyArchives = 0;      // archives that hold no class: nothing to find them by
    std::vector<std::string> skippedPoms;      // paths
    std::vector<std::string> skippedArchives;  // paths
    std::vector<std::string> unreadableRepositories;  // and plain folders
};
