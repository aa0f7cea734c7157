#include "CatalogueEntries.h"

#include "XmlAccess.h"

std::string CCatalogueEntries::EntryUrl(const std::string& webServer, const std::string& scid)
{
    return webServer +
           "/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/categorybyscid.xsl&scid=" +
           scid;
}

bool CCatalogueEntries::Fetch(const std::string& webServer, const std::vector<std::string>& scids,
                              std::string& error)
{
    for (const std::string& scid : scids) {
        if (m_entries.count(scid))
            continue;
        auto entry = std::make_unique<CXmlDocument>();
        if (!entry->Load(EntryUrl(webServer, scid))) {
            error = "the catalogue entry of " + scid + ": " + entry->GetParseError().reason;
            return false;
        }
        m_entries.emplace(scid, std::move(entry));
    }
    return true;
}

std::vector<CXmlNode> CCatalogueEntries::GetComponents(const std::string& scid) const
{
    std::vector<CXmlNode> components;
    if (auto found = m_entries.find(scid); found != m_entries.end())
        for (const CXmlNode& component : found->second->GetElementsByTagName("component"))
            components.push_back(component);
    return components;
}

std::string CCatalogueEntries::GetField(const std::string& scid, const std::string& child) const
{
    std::vector<CXmlNode> components = GetComponents(scid);
    return components.empty() ? std::string() : XmlChildElementValue(components.front(), child, "CCatalogueEntries");
}
