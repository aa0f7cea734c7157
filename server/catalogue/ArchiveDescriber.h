#pragma once

#include <string>

#include "ArchiveClasses.h"
#include "ArtifactVersion.h"
#include "CatalogueEntry.h"

// What the catalogue says of an archive: its artifact, version, name, vendor, description and
// home page, from the best source at hand for each. The classes, digests and archive ids of
// the entry are left to the caller.
class CArchiveDescriber
{
public:
    // An archive of a plain folder, by its file name and metadata. repositoryPom is the POM
    // of the repository version folder holding the same file (empty: none), and
    // repositoryVersion that folder's version. Coordinates come from pom.properties, then the
    // archive's own pom.xml or the repository's POM, then the file name; the rest from the
    // POM, then the manifest, then the publishers the catalogue knows.
    static CCatalogueEntry Describe(const std::string& fileName, const CArchiveMetadata& metadata,
                                    const std::string& repositoryPom, const std::string& repositoryVersion);

    // A version of a Maven-layout repository, by its coordinates and effective POM; fileName
    // names its main archive.
    static CCatalogueEntry Describe(const CArtifactVersion& version, const std::string& fileName);
};
