#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ArtifactVersion.h"

// One catalogued version of a component as the catalogue shows it: the component it belongs
// to (its artifact, "group:artifactId" or a bare artifact id), what is said of it, and the
// archives that hold it.
struct CCatalogueEntry
{
    std::string artifact;
    std::string artifactId;  // for the placements
    std::string version;
    std::string name;
    std::string vendor;
    std::string description;
    std::string url;
    std::string archive;  // the file name of its archive
    std::vector<CLicence> licences;
    std::string sha1;
    std::string sha256;
    std::vector<std::string> classes;      // dotted top-level names, each once
    std::vector<std::uint32_t> archiveIds;  // whose fingerprints belong to the version
};
