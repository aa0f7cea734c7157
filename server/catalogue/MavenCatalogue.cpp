#include "MavenCatalogue.h"

#include <filesystem>
#include <set>
#include <tuple>
#include <utility>

#include "FileDigest.h"
#include "PomReader.h"

CMavenCatalogue::CMavenCatalogue(std::vector<std::string> repositories, COptions options)
    : m_repositories(std::move(repositories)), m_options(options)
{
}

bool CMavenCatalogue::IsComponent(const std::string& classifier) const
{
    if (classifier == "sources" || classifier == "javadoc" || classifier == "test-sources" ||
        classifier == "test-javadoc")
        return false;
    return classifier != "tests" || m_options.withTests;
}

// Debian's alias folders: "debian" always, and a generic version ("2.x") whose archive is
// the very file of another version of the artifact in the same repository. Real versions
// take their file first.
std::vector<bool> CMavenCatalogue::Aliases(const std::vector<CVersionFolder>& folders)
{
    std::vector<bool> aliases(folders.size());
    std::set<std::tuple<std::string, std::string, std::string>> files;  // group, artifact, archive
    for (bool generic : {false, true}) {
        for (size_t i = 0; i < folders.size(); ++i) {
            const CVersionFolder& folder = folders[i];
            if (folder.debianAlias) {
                aliases[i] = true;
                continue;
            }
            if (folder.version.ends_with(".x") != generic || folder.archives.empty() ||
                !folder.archives[0].classifier.empty())
                continue;
            std::error_code error;
            const std::string file = std::filesystem::canonical(folder.archives[0].path, error).string();
            aliases[i] = !error && !files.emplace(folder.group, folder.artifact, file).second;
        }
    }
    return aliases;
}

void CMavenCatalogue::Read(const CClassSink& sink)
{
    m_versions.clear();
    m_summary = {};
    // Every POM of every repository first, so that a parent may lie in any of them.
    std::vector<CVersionFolder> folders;
    std::vector<bool> aliases;  // within its own repository
    for (const std::string& root : m_repositories) {
        CMavenRepository repository(root);
        std::vector<CVersionFolder> found;
        if (!repository.Walk(found))
            m_summary.unreadableRepositories.push_back(root);
        m_summary.skippedLinks += repository.SkippedLinks();
        const std::vector<bool> foundAliases = Aliases(found);
        aliases.insert(aliases.end(), foundAliases.begin(), foundAliases.end());
        folders.insert(folders.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    CPomReader poms;
    for (const CVersionFolder& folder : folders)
        if (!folder.pom.empty())
            poms.AddPom(folder.group, folder.artifact, folder.version, folder.pom);

    std::set<std::tuple<std::string, std::string, std::string>> catalogued;
    for (size_t i = 0; i < folders.size(); ++i) {
        const CVersionFolder& folder = folders[i];
        if (aliases[i]) {
            ++m_summary.aliasVersions;
            continue;
        }
        std::vector<CVersionFolder::CArchive> components;
        for (const CVersionFolder::CArchive& archive : folder.archives)
            if (IsComponent(archive.classifier))
                components.push_back(archive);
        if (components.empty()) {
            ++m_summary.pomOnlyVersions;
            continue;
        }
        if (!catalogued.emplace(folder.group, folder.artifact, folder.version).second) {
            ++m_summary.repeatedVersions;
            continue;
        }
        CArtifactVersion version;
        version.group = folder.group;
        version.artifact = folder.artifact;
        version.version = folder.version;
        version.project.packaging = "jar";
        if (!folder.pom.empty()) {
            if (std::optional<CProject> project = poms.Read(folder.pom)) {
                version.pom = folder.pom;
                version.project = std::move(*project);
            }
        }
        for (const CVersionFolder::CArchive& component : components) {
            CArchiveClasses::CListing listing = CArchiveClasses::Read(component.path, sink);
            CFileDigests digests = listing.ok ? Sha1AndSha256Hex(component.path) : CFileDigests{};
            if (!listing.ok || digests.sha256.empty()) {
                m_summary.skippedArchives.push_back(component.path);
                continue;
            }
            m_summary.classes += listing.classes.size();
            version.archives.push_back({component.classifier, component.path, std::move(digests.sha1),
                                        std::move(digests.sha256), std::move(listing.classes)});
        }
        if (version.archives.empty())
            continue;  // its archives are counted as skipped
        m_summary.archives += version.archives.size();
        m_versions.push_back(std::move(version));
    }
    m_summary.versions = m_versions.size();
    m_summary.skippedPoms.assign(poms.BrokenPoms().begin(), poms.BrokenPoms().end());
}
