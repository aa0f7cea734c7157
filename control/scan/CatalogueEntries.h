#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "XmlDocument.h"

// The catalogue entries of identified components, as the component web server gives them
// for one SCID. Each SCID is fetched once, however often it was found.
class CCatalogueEntries
{
public:
    // Fetches, in order, the SCIDs not fetched yet from the component web server (its base
    // URL, "ComponentWebServer"). False at the first that cannot be loaded; error then
    // names it and says why.
    bool Fetch(const std::string& webServer, const std::vector<std::string>& scids, std::string& error);

    // The "component" elements of a fetched SCID's entry, in document order.
    std::vector<CXmlNode> GetComponents(const std::string& scid) const;
    // The text of a child element of the entry's first component ("componentName",
    // "version", "artifact"); empty when there is none.
    std::string GetField(const std::string& scid, const std::string& child) const;
    size_t GetFetchCount() const { return m_entries.size(); }

    static std::string EntryUrl(const std::string& webServer, const std::string& scid);

private:
    std::map<std::string, std::unique_ptr<CXmlDocument>> m_entries;
};
