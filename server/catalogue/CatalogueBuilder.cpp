#include "CatalogueBuilder.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <unordered_set>
#include <utility>

#include "ArchiveClasses.h"
#include "ArchiveDescriber.h"
#include "ClassFingerprint.h"
#include "FileDigest.h"
#include "MavenCatalogue.h"
#include "MavenVersion.h"

namespace fs = std::filesystem;

namespace
{
std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Names of the second list that the first lacks, appended in their order.
void AddMissing(std::vector<std::string>& names, const std::vector<std::string>& more)
{
    std::unordered_set<std::string> have(names.begin(), names.end());
    for (const std::string& name : more)
        if (have.insert(name).second)
            names.push_back(name);
}

// Newest first in Maven's order; versions Maven cannot order go last, by their text.
bool Newer(const CCatalogueEntry& a, const CCatalogueEntry& b)
{
    const std::optional<CMavenVersion> left = CMavenVersion::Parse(a.version);
    const std::optional<CMavenVersion> right = CMavenVersion::Parse(b.version);
    if (left && right && *left != *right)
        return *left > *right;
    if (left.has_value() != right.has_value())
        return left.has_value();
    return a.version < b.version;
}
}  // namespace

CCatalogueBuilder::CCatalogueBuilder(COptions options) : m_options(std::move(options)) {}

CCatalogueBuilder::~CCatalogueBuilder()
{
    if (m_spool)
        std::fclose(m_spool);
}

// FNV-1a over the artifact's name, so that rebuilding the site keeps every SCID.
std::string CCatalogueBuilder::ScidFor(const std::string& artifact, std::set<std::string>& taken)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (unsigned char c : artifact) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    std::uint64_t number = 1000000 + hash % 9000000;
    while (!taken.insert(std::to_string(number)).second)
        number = number == 9999999 ? 1000000 : number + 1;
    return std::to_string(number);
}

std::uint32_t CCatalogueBuilder::ArchiveId(const std::string& path)
{
    return m_archiveIds.emplace(path, static_cast<std::uint32_t>(m_archiveIds.size())).first->second;
}

// A class that gives no fingerprint gives no record; a class found twice in one archive
// (a multi-release copy that did not change) one record.
void CCatalogueBuilder::Spool(const std::string& archive, std::string_view bytes)
{
    if (archive != m_spoolArchive) {
        m_spoolArchive = archive;
        m_archiveFingerprints.clear();
    }
    const std::optional<std::uint64_t> fingerprint = CClassFingerprint::Compute(bytes, "");
    if (!fingerprint || std::find(m_archiveFingerprints.begin(), m_archiveFingerprints.end(), *fingerprint) !=
                            m_archiveFingerprints.end())
        return;
    m_archiveFingerprints.push_back(*fingerprint);
    unsigned char record[kSpoolRecordBytes];
    const std::uint32_t id = ArchiveId(archive);
    for (size_t i = 0; i < 8; ++i)
        record[i] = static_cast<unsigned char>(*fingerprint >> (8 * i));
    for (size_t i = 0; i < 4; ++i)
        record[8 + i] = static_cast<unsigned char>(id >> (8 * i));
    if (std::fwrite(record, sizeof record, 1, m_spool) != 1)
        m_spoolFailed = true;
}

bool CCatalogueBuilder::Read(const std::string& spoolPath, std::string& error)
{
    m_components.clear();
    m_archiveIds.clear();
    m_spoolArchive.clear();
    m_spoolFailed = false;
    if (m_spool)
        std::fclose(m_spool);
    std::error_code ignored;
    fs::create_directories(fs::path(spoolPath).parent_path(), ignored);
    m_spool = std::fopen(spoolPath.c_str(), "wb");
    if (!m_spool) {
        error = "cannot write " + spoolPath;
        return false;
    }
    const CClassSink sink = [this](const std::string& archive, const std::string&, std::string_view bytes) {
        Spool(archive, bytes);
    };

    CMavenCatalogue maven(m_options.mavenRepositories, {.withTests = m_options.withTests});
    maven.Read(sink);
    m_summary = maven.Summary();
    std::vector<CCatalogueEntry> entries;
    CArchiveIndex bySha256;
    for (const CArtifactVersion& version : maven.Versions()) {
        // Debian files one archive under several coordinates (relocations): it is one version,
        // that of the first coordinates found.
        if (bySha256.count(version.archives[0].sha256)) {
            ++m_summary.aliasVersions;
            entries.emplace_back();  // keeps the places of the versions; has no classes
            continue;
        }
        CCatalogueEntry entry = CArchiveDescriber::Describe(version, FileName(version.archives[0].path));
        entry.sha1 = version.archives[0].sha1;
        entry.sha256 = version.archives[0].sha256;
        for (const CArtifactArchive& archive : version.archives) {
            AddMissing(entry.classes, archive.classes);
            if (m_archiveIds.count(archive.path))
                entry.archiveIds.push_back(m_archiveIds.at(archive.path));
            bySha256.emplace(archive.sha256, std::make_pair(entries.size(), &archive == &version.archives[0]));
        }
        entries.push_back(std::move(entry));
    }
    ReadPlainFolders(maven.Versions(), entries, bySha256);
    Group(entries);

    if (std::fflush(m_spool) != 0 || m_spoolFailed) {
        error = "cannot write " + spoolPath;
        return false;
    }
    return true;
}

// Each archive once, by the file it is (a folder's links to one file are one archive), in the
// order of those files' paths; its file name is the file's own. An archive with the bytes of
// one already catalogued is that version.
void CCatalogueBuilder::ReadPlainFolders(const std::vector<CArtifactVersion>& versions,
                                         std::vector<CCatalogueEntry>& entries, CArchiveIndex& bySha256)
{
    std::set<std::string> archives;
    for (const std::string& folder : m_options.jarFolders) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            m_summary.unreadableRepositories.push_back(folder);
            continue;
        }
        for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
            std::error_code dangling;
            const std::string real = fs::canonical(it->path(), dangling).string();
            if (it->path().extension() == ".jar" && !dangling)
                archives.insert(real);
        }
    }
    const CClassSink sink = [this](const std::string& archive, const std::string&, std::string_view bytes) {
        Spool(archive, bytes);
    };
    for (const std::string& path : archives) {
        CFileDigests digests = Sha1AndSha256Hex(path);
        const auto known = bySha256.find(digests.sha256);
        const bool catalogued = known != bySha256.end();
        CArchiveMetadata metadata;
        CArchiveClasses::CListing listing = CArchiveClasses::Read(path, catalogued ? CClassSink() : sink, metadata);
        if (!listing.ok || digests.sha256.empty()) {
            m_summary.skippedArchives.push_back(path);
            continue;
        }
        if (listing.classes.empty()) {
            ++m_summary.emptyArchives;
            continue;
        }
        if (!catalogued) {
            CCatalogueEntry entry = CArchiveDescriber::Describe(FileName(path), metadata, "", "");
            entry.sha1 = std::move(digests.sha1);
            entry.sha256 = std::move(digests.sha256);
            entry.classes = std::move(listing.classes);
            if (m_archiveIds.count(path))
                entry.archiveIds.push_back(m_archiveIds.at(path));
            ++m_summary.archives;
            bySha256.emplace(entry.sha256, std::make_pair(entries.size(), true));
            entries.push_back(std::move(entry));
            continue;
        }
        const auto [index, main] = known->second;
        if (!main || index >= versions.size())
            continue;  // a classified archive of a version, or a copy of an archive of a plain folder
        // The repository's coordinates stand; the archive describes itself as before when its
        // metadata names the same artifact (a shaded library's pom.properties names another).
        CCatalogueEntry& version = entries[index];
        const CArtifactVersion& folder = versions[index];
        CCatalogueEntry described = CArchiveDescriber::Describe(FileName(path), metadata, folder.pom, folder.version);
        version.archive = std::move(described.archive);
        if (described.artifact != version.artifact)
            continue;
        version.name = std::move(described.name);
        version.vendor = std::move(described.vendor);
        version.description = std::move(described.description);
        version.url = std::move(described.url);
        if (!described.licences.empty())
            version.licences = std::move(described.licences);
    }
}

// One component per artifact, its versions newest first; a version found twice (the same
// coordinates in a repository and as a file of its own elsewhere) is one version holding the
// classes and fingerprints of both, with the digests of the first.
void CCatalogueBuilder::Group(std::vector<CCatalogueEntry>& entries)
{
    std::map<std::string, std::vector<CCatalogueEntry>> byArtifact;
    for (CCatalogueEntry& entry : entries) {
        if (entry.artifact.empty())
            continue;  // a version's place, taken by another
        if (entry.classes.empty()) {
            ++m_summary.emptyArchives;
            continue;
        }
        byArtifact[entry.artifact].push_back(std::move(entry));
    }
    std::set<std::string> taken;
    m_summary.versions = 0;
    m_summary.classes = 0;
    for (auto& [artifact, found] : byArtifact) {
        CCatalogueComponent component;
        component.scid = ScidFor(artifact, taken);
        std::stable_sort(found.begin(), found.end(), Newer);
        for (CCatalogueEntry& entry : found) {
            if (!component.versions.empty() && component.versions.back().version == entry.version) {
                CCatalogueEntry& same = component.versions.back();
                AddMissing(same.classes, entry.classes);
                same.archiveIds.insert(same.archiveIds.end(), entry.archiveIds.begin(), entry.archiveIds.end());
                ++m_summary.repeatedVersions;
                continue;
            }
            component.versions.push_back(std::move(entry));
        }
        for (const CCatalogueEntry& version : component.versions) {
            AddMissing(component.classes, version.classes);
            m_summary.classes += version.classes.size();
        }
        std::sort(component.classes.begin(), component.classes.end());
        const CCatalogueEntry& newest = component.versions.front();
        component.name = newest.name;
        component.placements = CCatalogueMap::PlacementsOf(newest.artifactId);
        m_summary.versions += component.versions.size();
        m_components.push_back(std::move(component));
    }
    // By name in any case; two libraries with one display name are told apart by their archives.
    std::stable_sort(m_components.begin(), m_components.end(),
                     [](const CCatalogueComponent& a, const CCatalogueComponent& b) {
                         return Lower(a.name) < Lower(b.name);
                     });
    std::map<std::string, size_t> names;
    for (const CCatalogueComponent& component : m_components)
        ++names[Lower(component.name)];
    for (CCatalogueComponent& component : m_components) {
        if (names[Lower(component.name)] < 2)
            continue;
        const std::string& archive = component.versions.front().archive;
        component.name += " (" + (archive.ends_with(".jar") ? archive.substr(0, archive.size() - 4) : archive) + ")";
    }
    m_summary.components = m_components.size();
}
