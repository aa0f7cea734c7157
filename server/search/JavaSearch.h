#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "JavaSearchIndex.h"

class CSite;

// The search indexes of every Java technology of the site, parsed when the server starts
// and again when a technology's index file changes on disk, so no search waits for one.
class CJavaSearch
{
public:
    explicit CJavaSearch(const CSite& site) : m_site(site) {}

    // Parses the index of every technology of the site's Java index; the technologies that
    // could not be read are named in error.
    bool LoadAll(std::string& error);

    // The index of a technology; nothing, with the reason, when the site has none.
    std::shared_ptr<const CJavaSearchIndex> Index(const std::string& technology, std::string& error);

    // The style sheets the client names for search kinds 0 to 4 ("search-class.xsl"), and back.
    static const char* SheetName(int kind);
    static int KindOfSheet(std::string_view name);

private:
    struct CEntry
    {
        std::shared_ptr<const CJavaSearchIndex> index;
        timespec modified{};
        long long size = 0;
    };

    const CSite& m_site;
    std::mutex m_mutex;
    std::unordered_map<std::string, CEntry> m_entries;
};
