#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ArtifactVersion.h"
#include "CatalogueEntry.h"
#include "CatalogueMap.h"
#include "CatalogueSummary.h"

// One component of the catalogue: an artifact and every version of it that was found.
struct CCatalogueComponent
{
    std::string scid;
    std::string name;  // told apart by its archive when another component has the same name
    std::vector<CCatalogueEntry> versions;  // newest first, in Maven's order
    std::vector<std::string> classes;       // of all versions, each once
    std::vector<CPlacement> placements;
};

// Gathers the components of plain folders of archives (one version each) and of Maven-layout
// repositories (every version), one component per artifact: an archive of a plain folder that
// is also a repository's version (Debian links one to the other) is that one version. The
// fingerprint of every class read goes to a spool file as (fingerprint, archive id) records,
// so that no class bytes stay in memory; the catalogue writer turns them into rows.
class CCatalogueBuilder
{
public:
    struct COptions
    {
        std::vector<std::string> jarFolders;
        std::vector<std::string> mavenRepositories;
        bool withTests = false;
    };

    explicit CCatalogueBuilder(COptions options);
    ~CCatalogueBuilder();
    CCatalogueBuilder(const CCatalogueBuilder&) = delete;
    CCatalogueBuilder& operator=(const CCatalogueBuilder&) = delete;

    // False only when the spool cannot be written; broken archives and POMs are counted.
    bool Read(const std::string& spoolPath, std::string& error);

    const std::vector<CCatalogueComponent>& Components() const { return m_components; }
    const CCatalogueSummary& Summary() const { return m_summary; }

    // The stable seven-digit SCID of an artifact; on a clash the next number not taken.
    static std::string ScidFor(const std::string& artifact, std::set<std::string>& taken);

    static constexpr size_t kSpoolRecordBytes = 12;  // the fingerprint, then the archive id, little-endian

private:
    void Spool(const std::string& archive, std::string_view bytes);
    std::uint32_t ArchiveId(const std::string& path);
    // Archives by SHA-256: the entry holding them, and whether as its main archive.
    using CArchiveIndex = std::map<std::string, std::pair<size_t, bool>>;

    // Entries up to versions.size() are those of the repositories' versions, in their order.
    void ReadPlainFolders(const std::vector<CArtifactVersion>& versions, std::vector<CCatalogueEntry>& entries,
                          CArchiveIndex& bySha256);
    void Group(std::vector<CCatalogueEntry>& entries);

    COptions m_options;
    std::vector<CCatalogueComponent> m_components;
    CCatalogueSummary m_summary;
    std::FILE* m_spool = nullptr;
    bool m_spoolFailed = false;
    std::map<std::string, std::uint32_t> m_archiveIds;
    std::string m_spoolArchive;
    std::vector<std::uint64_t> m_archiveFingerprints;  // of the archive being read, to write each once
};
