#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NameMatcher.h"
#include "Transformer.h"

class CSite;

// Searches of the component catalogue (Marketplace and Local): components whose name
// matches best come first (exact, prefix, camel case, substring), then those found by
// vendor, description, artifact, package or category; alike ones by name. The catalogue
// is read when the server starts and again when its file changes.
class CCatalogueSearch
{
public:
    struct CHit
    {
        std::string scid;
        std::string name;
    };

    // A catalogued version and which of the component's classes it holds: all, or the runs
    // of positions in their sorted list ("0-41 45").
    struct CVersion
    {
        std::string name;
        bool allClasses = true;
        std::string classRanges;
    };
    struct CComponent
    {
        std::string scid;
        CFoldedName name;
        std::vector<CFoldedName> others;
        std::vector<CVersion> versions;  // newest first
    };
    struct CCatalogue
    {
        std::vector<CComponent> components;
        std::unordered_map<std::string, size_t> bySCID;  // the first component of each SCID
        timespec modified{};
        long long size = 0;

        const CComponent* Find(const std::string& scid) const
        {
            auto found = bySCID.find(scid);
            return found == bySCID.end() ? nullptr : &components[found->second];
        }
    };

    explicit CCatalogueSearch(const CSite& site) : m_site(site) {}

    bool Load(std::string& error);
    std::vector<CHit> Search(std::string_view query);

    // The Marketplace's answer: marketsearch/component with id and name.
    std::string MarketAnswer(std::string_view query);
    // The Local search's answer: components/component with SCID and componentName, then the
    // rows of more (classes found, for a newer client; an older one reads components only).
    std::string LocalAnswer(std::string_view query, const std::string& more = std::string());
    // The search pages' parameters with "found", the SCIDs found for q, each between blanks.
    CParameterList PageParameters(const CParameterList& query);

    // The catalogue as last read, read again when its file changed; null when unreadable.
    std::shared_ptr<const CCatalogue> Current(std::string& error);

private:
    std::string Answer(std::string_view query, const std::string& open, std::string_view hit,
                       const std::string& close);
    static std::shared_ptr<CCatalogue> Parse(const std::string& path, std::string& error);

    const CSite& m_site;
    std::mutex m_mutex;
    std::shared_ptr<const CCatalogue> m_catalogue;
};
