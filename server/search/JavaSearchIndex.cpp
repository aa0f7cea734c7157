#include "JavaSearchIndex.h"

#include <algorithm>

#include <libxml/tree.h>

#include "GeneratedXml.h"
#include "XmlCache.h"

namespace
{
// The element children of node with that name.
template <typename Visit>
void ForEach(xmlNodePtr node, const char* name, Visit visit)
{
    for (xmlNodePtr child = node ? node->children : nullptr; child; child = child->next)
        if (CParsedXml::IsElement(child, name))
            visit(child);
}

void AppendElement(std::string& out, const char* name, std::string_view text)
{
    out += '<';
    out += name;
    out += '>';
    CGeneratedXml::AppendEscaped(out, text);
    out += "</";
    out += name;
    out += '>';
}

// Supertype search: the folded name as written, or a wildcard pattern over it.
bool SupertypeMatches(const std::vector<std::string>& names, const std::string& query, bool wildcard)
{
    for (const auto& name : names)
        if (wildcard ? CNameMatcher::Glob(query, name) : name == query)
            return true;
    return false;
}

std::string FoldedQuery(std::string_view query)
{
    std::string out;
    for (char c : query)
        if (c != ' ' && c != '\t')
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}
}  // namespace

std::shared_ptr<const CJavaSearchIndex> CJavaSearchIndex::Load(const std::string& path, std::string& error)
{
    auto doc = CParsedXml::ParseFile(path, error);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc->Doc()) : nullptr;
    if (!root || !CParsedXml::IsElement(root, "index")) {
        error = path + " is not a search index" + (error.empty() ? "" : ": " + error);
        return nullptr;
    }
    auto index = std::make_shared<CJavaSearchIndex>();
    index->m_technology = CParsedXml::Attribute(root, "technology");
    ForEach(root, "packages", [&](xmlNodePtr packages) {
        ForEach(packages, "package",
                [&](xmlNodePtr package) { index->m_packages.push_back({CFoldedName(CParsedXml::Attribute(package, "name"))}); });
    });
    ForEach(root, "classes", [&](xmlNodePtr classes) {
        ForEach(classes, "class", [&](xmlNodePtr node) {
            CClass entry;
            entry.name = CFoldedName(CParsedXml::Attribute(node, "name"));
            entry.package = CParsedXml::Attribute(node, "package");
            entry.kind = CParsedXml::Attribute(node, "kind");
            entry.qualified = CFoldedName(entry.package.empty() ? entry.name.text : entry.package + "." + entry.name.text);
            ForEach(node, "extends", [&](xmlNodePtr type) {
                entry.supertypes.push_back(CParsedXml::Attribute(type, "key"));
                entry.supertypes.push_back(CParsedXml::Attribute(type, "qkey"));
            });
            ForEach(node, "implements", [&](xmlNodePtr type) {
                entry.interfaces.push_back(CParsedXml::Attribute(type, "key"));
                entry.interfaces.push_back(CParsedXml::Attribute(type, "qkey"));
            });
            index->m_classes.push_back(std::move(entry));
        });
    });
    ForEach(root, "methods", [&](xmlNodePtr methods) {
        ForEach(methods, "methodname", [&](xmlNodePtr group) {
            CMethodName entry{CFoldedName(CParsedXml::Attribute(group, "name")), {}};
            ForEach(group, "method", [&](xmlNodePtr method) {
                entry.methods.push_back({CParsedXml::Attribute(method, "class"), CParsedXml::Attribute(method, "package"),
                                         CParsedXml::Attribute(method, "kind"), CParsedXml::Attribute(method, "signature")});
            });
            index->m_methods.push_back(std::move(entry));
        });
    });
    return index;
}

std::vector<CJavaSearchIndex::CHit> CJavaSearchIndex::Search(int kind, std::string_view query, size_t limit,
                                                             size_t& total) const
{
    struct CRanked
    {
        int rank;
        const std::string* key;
        size_t entry;
    };
    std::vector<CRanked> ranked;
    CNameMatcher matcher(query);
    if (kind == kPackage) {
        for (size_t i = 0; !matcher.Empty() && i < m_packages.size(); ++i)
            if (CMatchRank rank = matcher.Rank(m_packages[i].name); rank != kNoMatch)
                ranked.push_back({rank, &m_packages[i].name.lower, i});
    } else if (kind == kClass) {
        bool qualified = matcher.HasDot();
        for (size_t i = 0; !matcher.Empty() && i < m_classes.size(); ++i) {
            CMatchRank rank = matcher.Rank(m_classes[i].name);
            if (qualified)
                rank = std::min(rank, matcher.Rank(m_classes[i].qualified));
            if (rank != kNoMatch)
                ranked.push_back({rank, &m_classes[i].name.lower, i});
        }
    } else if (kind == kMethod) {
        for (size_t i = 0; !matcher.Empty() && i < m_methods.size(); ++i)
            if (CMatchRank rank = matcher.Rank(m_methods[i].name); rank != kNoMatch)
                ranked.push_back({rank, &m_methods[i].name.lower, i});
    } else if (kind == kExtends || kind == kImplements) {
        std::string folded = FoldedQuery(query);
        bool wildcard = folded.find_first_of("*?") != std::string::npos;
        for (size_t i = 0; !folded.empty() && i < m_classes.size(); ++i)
            if (SupertypeMatches(kind == kExtends ? m_classes[i].supertypes : m_classes[i].interfaces, folded, wildcard))
                ranked.push_back({kExactMatch, &m_classes[i].name.lower, i});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const CRanked& a, const CRanked& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        if (a.key->size() != b.key->size())
            return a.key->size() < b.key->size();
        return *a.key < *b.key;
    });

    std::vector<CHit> hits;
    total = 0;
    for (const auto& entry : ranked) {
        if (kind == kMethod) {
            const CMethodName& group = m_methods[entry.entry];
            for (const auto& method : group.methods) {
                if (++total <= limit)
                    hits.push_back({method.package, method.className, method.kind, group.name.text, method.signature});
            }
        } else if (kind == kPackage) {
            if (++total <= limit)
                hits.push_back({m_packages[entry.entry].name.text, {}, {}, {}, {}});
        } else {
            const CClass& type = m_classes[entry.entry];
            if (++total <= limit)
                hits.push_back({type.package, type.name.text, type.kind, {}, {}});
        }
    }
    return hits;
}

std::string CJavaSearchIndex::Answer(int kind, std::string_view query) const
{
    size_t total = 0;
    std::vector<CHit> hits = Search(kind, query, kLimit, total);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<searchresults technology=\"";
    CGeneratedXml::AppendEscaped(out, m_technology);
    out += "\" count=\"" + std::to_string(total) + "\"";
    if (total > kLimit)
        out += " truncated=\"true\"";
    out += ">\n";
    for (const auto& hit : hits) {
        if (hit.className.empty()) {
            out += "  <package>";
            AppendElement(out, "packageName", hit.packageName);
            out += "</package>\n";
            continue;
        }
        out += "  <class>";
        AppendElement(out, "className", hit.className);
        AppendElement(out, "packageName", hit.packageName);
        AppendElement(out, "kind", hit.kind);
        if (!hit.methodName.empty()) {
            out += "<method>";
            AppendElement(out, "methodName", hit.methodName);
            AppendElement(out, "signature", hit.signature);
            out += "</method>";
        }
        out += "</class>\n";
    }
    out += "</searchresults>\n";
    return out;
}
