#include "SiteData.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>

#include <libxml/tree.h>

#include "FileUtil.h"
#include "FingerprintTable.h"
#include "LookupDatabase.h"
#include "ServerStore.h"
#include "Site.h"
#include "XmlCache.h"

namespace
{
constexpr size_t kMaxCatalogue = 256 * 1024 * 1024;

// The versions the catalogue lists under each component, and those the fingerprint table
// names beside them, each once.
class CVersionIndex
{
public:
    explicit CVersionIndex(CCatalogueTables::CContent& content) : m_content(content) {}

    void FromCatalogue(xmlNode* root)
    {
        for (xmlNode* component = root ? root->children : nullptr; component; component = component->next) {
            std::string scid = CParsedXml::Attribute(component, "SCID");
            if (!CParsedXml::IsElement(component, "component") || !CFingerprintTable::IsName(scid))
                continue;
            for (xmlNode* list = component->children; list; list = list->next) {
                if (!CParsedXml::IsElement(list, "versions"))
                    continue;
                for (xmlNode* version = list->children; version; version = version->next) {
                    std::string name = CParsedXml::Attribute(version, "name");
                    if (!CParsedXml::IsElement(version, "version") || !CFingerprintTable::IsName(name))
                        continue;
                    std::string count = CParsedXml::Attribute(version, "classCount");
                    int64_t classes = 0;
                    std::from_chars(count.data(), count.data() + count.size(), classes);
                    Find(scid, name, CParsedXml::Attribute(version, "sha1"), CParsedXml::Attribute(version, "sha256"),
                         std::max<int64_t>(classes, 0));
                }
            }
        }
    }

    // The version's index; one the catalogue does not list is added without hashes.
    uint32_t Find(std::string_view scid, std::string_view version, std::string sha1 = {}, std::string sha256 = {},
                  int64_t classes = 0)
    {
        m_key.assign(scid).append(1, '\t').append(version);
        // Rows come version by version: most find the one before.
        if (m_hasLast && m_key == m_lastKey)
            return m_last;
        auto [it, added] = m_ids.try_emplace(m_key, static_cast<uint32_t>(m_content.versions.size()));
        if (added)
            m_content.versions.push_back(
                {std::string(scid), std::string(version), std::move(sha1), std::move(sha256), classes});
        m_lastKey = m_key;
        m_last = it->second;
        m_hasLast = true;
        return m_last;
    }

private:
    CCatalogueTables::CContent& m_content;
    std::unordered_map<std::string, uint32_t> m_ids;  // "SCID\tversion" -> index
    std::string m_key, m_lastKey;
    uint32_t m_last = 0;
    bool m_hasLast = false;
};

// The store's fingerprint rows into the server's table.
class CFingerprintFiller : public CCatalogueTables::CReceiver
{
public:
    explicit CFingerprintFiller(CFingerprintTable& table) : m_table(table) {}

    void Versions(std::vector<CCatalogueTables::CVersion> versions) override
    {
        m_table.Clear();
        m_versions = std::move(versions);
    }
    void Fingerprint(uint64_t fingerprint, size_t version) override
    {
        m_table.Add(fingerprint, m_versions[version].scid, m_versions[version].version);
    }

private:
    CFingerprintTable& m_table;
    std::vector<CCatalogueTables::CVersion> m_versions;
};
}  // namespace

bool CSiteData::LoadIntoStore(const CSite& site, CServerStore& store, std::string& summary, std::string& error)
{
    std::string cataloguePath = site.Root() + "/" + CSite::kCatalogue;
    // Every server would serve it: a catalogue that is not XML stays out.
    auto parsed = CParsedXml::ParseFile(cataloguePath, error);
    if (!parsed) {
        error = "the catalogue " + cataloguePath + " is not usable: " + error;
        return false;
    }
    CCatalogueTables::CContent catalogue;
    CVersionIndex versions(catalogue);
    versions.FromCatalogue(xmlDocGetRootElement(parsed->Doc()));
    parsed.reset();
    // Streamed: only each row's fingerprint and version index are kept.
    std::string fingerprintPath = site.Root() + "/" + kFingerprints;
    auto row = [&](uint64_t fingerprint, std::string_view scid, std::string_view version) {
        catalogue.fingerprints.push_back({fingerprint, versions.Find(scid, version)});
    };
    if (!CFingerprintTable::ReadFile(fingerprintPath, row, error))
        return false;
    auto order = [](const CCatalogueTables::CFingerprint& a, const CCatalogueTables::CFingerprint& b) {
        return a.fingerprint != b.fingerprint ? a.fingerprint < b.fingerprint : a.version < b.version;
    };
    auto same = [](const CCatalogueTables::CFingerprint& a, const CCatalogueTables::CFingerprint& b) {
        return a.fingerprint == b.fingerprint && a.version == b.version;
    };
    std::sort(catalogue.fingerprints.begin(), catalogue.fingerprints.end(), order);
    catalogue.fingerprints.erase(std::unique(catalogue.fingerprints.begin(), catalogue.fingerprints.end(), same),
                                 catalogue.fingerprints.end());
    CSiteTables::CContent tables;
    struct stat info{};
    if (ReadWholeFile(cataloguePath, tables.catalogue, kMaxCatalogue) != CReadResult::Ok ||
        ::stat(cataloguePath.c_str(), &info) != 0) {
        error = "cannot read " + cataloguePath;
        return false;
    }
    tables.modified = info.st_mtim.tv_sec;
    if (!CLookupDatabase::ReadFile(site.Root() + "/" + CSite::kLookupTable, tables.lookup, error) ||
        !store.LoadSite(CSite::kCatalogue, tables, catalogue, error))
        return false;
    summary = "the catalogue (" + std::to_string(tables.catalogue.size()) + " bytes, " +
              std::to_string(catalogue.versions.size()) + " versions), the lookup table (" +
              std::to_string(tables.lookup.size()) + " classes) and the fingerprint table (" +
              std::to_string(catalogue.fingerprints.size()) + " rows) of " + site.Root() + " are in the " +
              store.Describe();
    return true;
}

bool CSiteData::Apply(const CSite& site, CServerStore& store, CLookupDatabase& lookup, CFingerprintTable& fingerprints,
                      std::string& source, std::string& error)
{
    CSiteTables::CContent tables;
    CFingerprintFiller filler(fingerprints);
    bool found = false, versionsFound = false;
    if (!store.ReadSite(CSite::kCatalogue, tables, found, filler, versionsFound, error))
        return false;
    std::string fingerprintPath = site.Root() + "/" + kFingerprints;
    if (!found) {
        source = "the site's files";
        return lookup.Load(site.Root() + "/" + CSite::kLookupTable, error) && fingerprints.Load(fingerprintPath, error);
    }
    // Every page, style sheet and search reads the catalogue as the site's file: the store's
    // copy goes there, dated when it changed, so that all servers announce the same time.
    std::string path = site.Root() + "/" + CSite::kCatalogue;
    std::string current;
    if (ReadWholeFile(path, current, kMaxCatalogue) != CReadResult::Ok || current != tables.catalogue) {
        if (!WriteFileAtomically(path, tables.catalogue, 0644)) {
            error = "cannot write the store's catalogue to " + path;
            return false;
        }
    }
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0 || info.st_mtim.tv_sec != tables.modified || info.st_mtim.tv_nsec != 0) {
        timespec times[2] = {{0, UTIME_OMIT}, {tables.modified, 0}};
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
            error = "cannot date " + path;
            return false;
        }
    }
    lookup.Load(std::move(tables.lookup));
    source = "the " + store.Describe();
    if (versionsFound) {
        fingerprints.Build();
        return true;
    }
    source += " (class fingerprints from the site's file: the store's load predates them)";
    return fingerprints.Load(fingerprintPath, error);
}
