#include "CatalogueSearch.h"

#include <algorithm>

#include <sys/stat.h>

#include <libxml/tree.h>

#include "GeneratedXml.h"
#include "Site.h"
#include "XmlCache.h"

std::shared_ptr<CCatalogueSearch::CCatalogue> CCatalogueSearch::Parse(const std::string& path, std::string& error)
{
    auto doc = CParsedXml::ParseFile(path, error);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc->Doc()) : nullptr;
    if (!root)
        return nullptr;
    auto catalogue = std::make_shared<CCatalogue>();
    for (xmlNodePtr node = root->children; node; node = node->next) {
        if (!CParsedXml::IsElement(node, "component"))
            continue;
        CComponent component;
        component.scid = CParsedXml::Attribute(node, "SCID");
        for (xmlNodePtr field = node->children; field; field = field->next) {
            if (CParsedXml::IsElement(field, "componentName")) {
                component.name = CFoldedName(CParsedXml::Text(field));
            } else if (CParsedXml::IsElement(field, "vendor") || CParsedXml::IsElement(field, "description") || CParsedXml::IsElement(field, "artifact")) {
                component.others.emplace_back(CParsedXml::Text(field));
            } else if (CParsedXml::IsElement(field, "versions")) {
                for (xmlNodePtr item = field->children; item; item = item->next) {
                    if (!CParsedXml::IsElement(item, "version"))
                        continue;
                    xmlChar* ranges = xmlGetProp(item, BAD_CAST "classes");
                    component.versions.push_back({CParsedXml::Attribute(item, "name"), ranges == nullptr,
                                                  ranges ? reinterpret_cast<const char*>(ranges) : ""});
                    xmlFree(ranges);
                }
            } else if (CParsedXml::IsElement(field, "packages") || CParsedXml::IsElement(field, "categories")) {
                // package elements; category elements with a primary and a secondary name
                for (xmlNodePtr item = field->children; item; item = item->next) {
                    if (CParsedXml::IsElement(item, "package"))
                        component.others.emplace_back(CParsedXml::Text(item));
                    for (xmlNodePtr part = CParsedXml::IsElement(item, "category") ? item->children : nullptr; part; part = part->next)
                        if (part->type == XML_ELEMENT_NODE)
                            component.others.emplace_back(CParsedXml::Text(part));
                }
            }
        }
        catalogue->bySCID.emplace(component.scid, catalogue->components.size());
        catalogue->components.push_back(std::move(component));
    }
    return catalogue;
}

std::shared_ptr<const CCatalogueSearch::CCatalogue> CCatalogueSearch::Current(std::string& error)
{
    auto path = m_site.ResolveFile(CSite::kCatalogue);
    struct stat info{};
    if (!path || ::stat(path->c_str(), &info) != 0) {
        error = "the site has no catalogue";
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_catalogue && m_catalogue->size == info.st_size && m_catalogue->modified.tv_sec == info.st_mtim.tv_sec &&
            m_catalogue->modified.tv_nsec == info.st_mtim.tv_nsec)
            return m_catalogue;
    }
    auto catalogue = Parse(*path, error);
    if (!catalogue)
        return nullptr;
    catalogue->modified = info.st_mtim;
    catalogue->size = info.st_size;
    std::lock_guard lock(m_mutex);
    m_catalogue = catalogue;
    return catalogue;
}

bool CCatalogueSearch::Load(std::string& error) { return Current(error) != nullptr; }

std::vector<CCatalogueSearch::CHit> CCatalogueSearch::Search(std::string_view query)
{
    std::string error;
    auto catalogue = Current(error);
    CNameMatcher matcher(query);
    if (!catalogue || matcher.Empty())
        return {};
    struct CRanked
    {
        CMatchRank rank;
        const CComponent* component;
    };
    std::vector<CRanked> ranked;
    std::vector<const CFoldedName*> others;
    for (const auto& component : catalogue->components) {
        others.clear();
        for (const auto& other : component.others)
            others.push_back(&other);
        if (CMatchRank rank = matcher.Rank(component.name, others); rank != kNoMatch)
            ranked.push_back({rank, &component});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const CRanked& a, const CRanked& b) {
        return a.rank != b.rank ? a.rank < b.rank : a.component->name.lower < b.component->name.lower;
    });
    std::vector<CHit> hits;
    for (const auto& entry : ranked)
        hits.push_back({entry.component->scid, entry.component->name.text});
    return hits;
}

std::string CCatalogueSearch::MarketAnswer(std::string_view query)
{
    std::string open = "<marketsearch query=\"";
    CGeneratedXml::AppendEscaped(open, query);
    return Answer(query, open + "\">", "  <component id=\"|\" name=\"|\"/>", "</marketsearch>");
}

std::string CCatalogueSearch::LocalAnswer(std::string_view query, const std::string& more)
{
    return Answer(query, "<components>", "  <component SCID=\"|\"><componentName>|</componentName></component>",
                  more + "</components>");
}

std::string CCatalogueSearch::Answer(std::string_view query, const std::string& open, std::string_view hit,
                                     const std::string& close)
{
    // hit: the text around a hit's SCID and name, in three pieces split by "|".
    size_t first = hit.find('|');
    size_t second = hit.find('|', first + 1);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + open + "\n";
    for (const auto& found : Search(query)) {
        out += hit.substr(0, first);
        CGeneratedXml::AppendEscaped(out, found.scid);
        out += hit.substr(first + 1, second - first - 1);
        CGeneratedXml::AppendEscaped(out, found.name);
        out += hit.substr(second + 1);
        out += '\n';
    }
    return out + close + "\n";
}

CParameterList CCatalogueSearch::PageParameters(const CParameterList& query)
{
    CParameterList parameters;
    std::string found = " ";
    for (const auto& [name, value] : query) {
        if (name == "q")
            for (const auto& hit : Search(value))
                found += hit.scid + " ";
        if (name != "found")
            parameters.emplace_back(name, value);
    }
    parameters.emplace_back("found", found);
    return parameters;
}
