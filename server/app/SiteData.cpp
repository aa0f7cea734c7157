#include "SiteData.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "FileUtil.h"
#include "LookupDatabase.h"
#include "ServerStore.h"
#include "Site.h"
#include "XmlCache.h"

namespace
{
constexpr size_t kMaxCatalogue = 256 * 1024 * 1024;
}  // namespace

bool CSiteData::LoadIntoStore(const CSite& site, CServerStore& store, std::string& summary, std::string& error)
{
    std::string cataloguePath = site.Root() + "/" + CSite::kCatalogue;
    // Every server would serve it: a catalogue that is not XML stays out.
    if (!CParsedXml::ParseFile(cataloguePath, error)) {
        error = "the catalogue " + cataloguePath + " is not usable: " + error;
        return false;
    }
    CSiteTables::CContent tables;
    struct stat info{};
    if (ReadWholeFile(cataloguePath, tables.catalogue, kMaxCatalogue) != CReadResult::Ok ||
        ::stat(cataloguePath.c_str(), &info) != 0) {
        error = "cannot read " + cataloguePath;
        return false;
    }
    tables.modified = info.st_mtim.tv_sec;
    if (!CLookupDatabase::ReadFile(site.Root() + "/" + CSite::kLookupTable, tables.lookup, error) ||
        !store.SiteTables().Replace(CSite::kCatalogue, tables, error))
        return false;
    summary = "the catalogue (" + std::to_string(tables.catalogue.size()) + " bytes) and the lookup table (" +
              std::to_string(tables.lookup.size()) + " classes) of " + site.Root() + " are in the " + store.Describe();
    return true;
}

bool CSiteData::Apply(const CSite& site, CServerStore& store, CLookupDatabase& lookup, std::string& source,
                      std::string& error)
{
    CSiteTables::CContent tables;
    bool found = false;
    if (!store.SiteTables().Read(CSite::kCatalogue, tables, found, error))
        return false;
    if (!found) {
        source = "the site's files";
        return lookup.Load(site.Root() + "/" + CSite::kLookupTable, error);
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
    return true;
}
