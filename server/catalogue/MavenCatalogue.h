#pragma once

#include <string>
#include <vector>

#include "ArchiveClasses.h"
#include "ArtifactVersion.h"
#include "CatalogueSummary.h"
#include "MavenRepository.h"

// Catalogues every version of every artifact that one or more Maven-layout repositories
// hold: its POM's fields (parents found in any of the repositories), and for each component
// archive its digests and classes. Sources and javadoc archives are no components; tests
// archives are only when asked. A version found in several repositories is taken from the
// first that has it with an archive; Debian's alias folders are no versions.
class CMavenCatalogue
{
public:
    struct COptions
    {
        bool withTests = false;
    };

    CMavenCatalogue(std::vector<std::string> repositories, COptions options);

    // Reads the repositories afresh; every class file's bytes go to sink, when given.
    void Read(const CClassSink& sink = {});

    const std::vector<CArtifactVersion>& Versions() const { return m_versions; }
    const CCatalogueSummary& Summary() const { return m_summary; }

    // Whether an archive with this classifier is a component.
    bool IsComponent(const std::string& classifier) const;

private:
    static std::vector<bool> Aliases(const std::vector<CVersionFolder>& folders);

    std::vector<std::string> m_repositories;
    COptions m_options;
    std::vector<CArtifactVersion> m_versions;
    CCatalogueSummary m_summary;
};
