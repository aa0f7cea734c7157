#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "ArtifactVersion.h"

// A POM as written, before its parents and properties are applied.
struct CPom
{
    CProject project;
    std::string parentGroupId;
    std::string parentArtifactId;
    std::string parentVersion;
    std::vector<std::pair<std::string, std::string>> properties;
};

// Reads POMs from the files of one or more repositories, with no network and no DTD or
// external entity: parents are found among the POMs added, by group, artifact and version.
class CPomReader
{
public:
    // Where the POM of group:artifact:version lies; the first one added wins.
    void AddPom(const std::string& group, const std::string& artifact, const std::string& version,
                const std::string& path);

    // The POM at path with its parents and properties applied; empty when it is no readable
    // POM. groupId and version fall back to the parent's; description, url, organization and licences come
    // from the nearest ancestor that has them; name and packaging are the POM's own. A parent
    // that is missing or broken ends the chain there, as does a loop or kMaxParents.
    std::optional<CProject> Read(const std::string& path);

    // The POMs that could not be read, by path.
    const std::set<std::string>& BrokenPoms() const { return m_broken; }

    static std::optional<CPom> Parse(std::string_view xml);

    static constexpr size_t kMaxPomBytes = 4 * 1024 * 1024;
    static constexpr size_t kMaxParents = 16;
    static constexpr size_t kMaxSubstitutions = 64;
    static constexpr size_t kMaxValueLength = 64 * 1024;

private:
    const CPom* Load(const std::string& path);

    std::map<std::tuple<std::string, std::string, std::string>, std::string> m_index;
    std::map<std::string, std::optional<CPom>> m_parsed;  // by path, parents are read many times
    std::set<std::string> m_broken;
};
