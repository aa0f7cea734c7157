#include "JavaSearch.h"

#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "FileUtil.h"
#include "Site.h"

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
    std::string text;
    if (!indexPath || ReadWholeFile(*indexPath, text, 64 * 1024 * 1024) != CReadResult::Ok) {
        error = "cannot read the Java index";
        return false;
    }
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), indexPath->c_str(), nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    std::string failed;
    for (xmlNodePtr node = root ? root->children : nullptr; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>("technology")) != 0)
            continue;
        xmlChar* name = xmlGetProp(node, reinterpret_cast<const xmlChar*>("name"));
        std::string technology = name ? reinterpret_cast<const char*>(name) : "";
        xmlFree(name);
        std::string reason;
        if (!Index(technology, reason))
            failed += (failed.empty() ? "" : ", ") + technology;
    }
    if (doc)
        xmlFreeDoc(doc);
    if (!root) {
        error = "the Java index is not readable XML";
        return false;
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
