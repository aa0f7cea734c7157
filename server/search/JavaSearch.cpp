#include "JavaSearch.h"

#include <sys/stat.h>

#include <libxml/tree.h>

#include "Site.h"
#include "XmlCache.h"

namespace
{
const char* const kSheets[] = {"search-package.xsl", "search-class.xsl", "search-method.xsl", "search-descendent.xsl",
                               "search-interface.xsl"};

std::string IndexPath(const std::string& technology) { return "stores/vantrel/java/data/" + technology + "/index.bnd"; }
}  // namespace

const char* CJavaSearch::SheetName(int kind) { return kind >= 0 && kind < 5 ? kSheets[kind] : nullptr; }

int CJavaSearch::KindOfSheet(std::string_view name)
{
    for (int kind = 0; kind < 5; ++kind)
        if (name == kSheets[kind])
            return kind;
    return -1;
}

bool CJavaSearch::LoadAll(std::string& error)
{
    auto indexPath = m_site.ResolveFile(CSite::kJavaIndex);
    auto doc = indexPath ? CParsedXml::ParseFile(*indexPath, error) : nullptr;
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc->Doc()) : nullptr;
    if (!root) {
        error = "cannot read the Java index: " + error;
        return false;
    }
    std::string failed;
    for (xmlNodePtr node = root->children; node; node = node->next) {
        std::string reason;
        if (CParsedXml::IsElement(node, "technology") && !Index(CParsedXml::Attribute(node, "name"), reason))
            failed += (failed.empty() ? "" : ", ") + CParsedXml::Attribute(node, "name");
    }
    if (!failed.empty())
        error = "no search index for " + failed;
    return failed.empty();
}

std::shared_ptr<const CJavaSearchIndex> CJavaSearch::Index(const std::string& technology, std::string& error)
{
    auto path = technology.find('/') == std::string::npos ? m_site.ResolveFile(IndexPath(technology)) : std::nullopt;
    struct stat info{};
    if (!path || ::stat(path->c_str(), &info) != 0) {
        error = "there is no Java technology \"" + technology + "\"";
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        auto found = m_entries.find(*path);
        if (found != m_entries.end() && found->second.size == info.st_size &&
            found->second.modified.tv_sec == info.st_mtim.tv_sec && found->second.modified.tv_nsec == info.st_mtim.tv_nsec)
            return found->second.index;
    }
    // Parsed outside the lock: the other technologies stay searchable meanwhile.
    auto index = CJavaSearchIndex::Load(*path, error);
    if (!index)
        return nullptr;
    std::lock_guard lock(m_mutex);
    m_entries[*path] = CEntry{index, info.st_mtim, static_cast<long long>(info.st_size)};
    return index;
}
