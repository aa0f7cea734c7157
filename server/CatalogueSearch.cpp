#include "CatalogueSearch.h"

#include <algorithm>

#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "FileUtil.h"
#include "GeneratedXml.h"
#include "Site.h"

namespace
{
constexpr size_t kMaxCatalogueSize = 256 * 1024 * 1024;

bool IsElement(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

std::string Text(xmlNodePtr node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

}  // namespace

std::shared_ptr<CCatalogueSearch::CCatalogue> CCatalogueSearch::Parse(const std::string& path, std::string& error)
{
    std::string text;
    if (ReadWholeFile(path, text, kMaxCatalogueSize) != CReadResult::Ok) {
        error = "cannot read " + path;
        return nullptr;
    }
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), path.c_str(), nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root) {
        error = path + " is not readable XML";
        if (doc)
            xmlFreeDoc(doc);
        return nullptr;
    }
    auto catalogue = std::make_shared<CCatalogue>();
    for (xmlNodePtr node = root->children; node; node = node->next) {
        if (!IsElement(node, "component"))
            continue;
        CComponent component;
        xmlChar* scid = xmlGetProp(node, reinterpret_cast<const xmlChar*>("SCID"));
        component.scid = scid ? reinterpret_cast<const char*>(scid) : "";
        xmlFree(scid);
        for (xmlNodePtr field = node->children; field; field = field->next) {
            if (IsElement(field, "componentName")) {
                component.name = CFoldedName(Text(field));
            } else if (IsElement(field, "vendor") || IsElement(field, "description") || IsElement(field, "artifact")) {
                component.others.emplace_back(Text(field));
            } else if (IsElement(field, "packages") || IsElement(field, "categories")) {
                // package elements; category elements with a primary and a secondary name
                for (xmlNodePtr item = field->children; item; item = item->next) {
                    if (IsElement(item, "package"))
                        component.others.emplace_back(Text(item));
                    for (xmlNodePtr part = IsElement(item, "category") ? item->children : nullptr; part; part = part->next)
                        if (part->type == XML_ELEMENT_NODE)
                            component.others.emplace_back(Text(part));
                }
            }
        }
        catalogue->components.push_back(std::move(component));
    }
    xmlFreeDoc(doc);
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
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<marketsearch query=\"";
    CGeneratedXml::AppendEscaped(out, query);
    out += "\">\n";
    for (const auto& hit : Search(query)) {
        out += "  <component id=\"";
        CGeneratedXml::AppendEscaped(out, hit.scid);
        out += "\" name=\"";
        CGeneratedXml::AppendEscaped(out, hit.name);
        out += "\"/>\n";
    }
    return out + "</marketsearch>\n";
}

std::string CCatalogueSearch::LocalAnswer(std::string_view query)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<components>\n";
    for (const auto& hit : Search(query)) {
        out += "  <component SCID=\"";
        CGeneratedXml::AppendEscaped(out, hit.scid);
        out += "\"><componentName>";
        CGeneratedXml::AppendEscaped(out, hit.name);
        out += "</componentName></component>\n";
    }
    return out + "</components>\n";
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
