#include "XmlCache.h"

#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include "FileUtil.h"

namespace
{
constexpr size_t kMaxDocumentSize = 256 * 1024 * 1024;
}  // namespace

CParsedXml::~CParsedXml()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

std::shared_ptr<const CParsedXml> CParsedXml::ParseFile(const std::string& path, std::string& error)
{
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        error = "out of memory";
        return nullptr;
    }
    // Read here, not through libxml2's entity loader, which another part of the process may replace.
    std::string text;
    if (ReadWholeFile(path, text, kMaxDocumentSize) != CReadResult::Ok) {
        xmlFreeParserCtxt(context);
        error = "cannot read " + path;
        return nullptr;
    }
    xmlDocPtr doc = xmlCtxtReadMemory(context, text.data(), static_cast<int>(text.size()), path.c_str(), nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc || !context->wellFormed) {
        const xmlError* last = xmlCtxtGetLastError(context);
        error = last && last->message ? last->message : "not well-formed XML";
        while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
            error.pop_back();
        if (last)
            error += " (line " + std::to_string(last->line) + ")";
        if (doc)
            xmlFreeDoc(doc);
        xmlFreeParserCtxt(context);
        return nullptr;
    }
    xmlFreeParserCtxt(context);
    // Numbering the elements now keeps later XPath sorting from writing into a shared document.
    xmlXPathOrderDocElems(doc);
    return std::make_shared<const CParsedXml>(doc);
}

std::string CParsedXml::Attribute(xmlNodePtr node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::string CParsedXml::Text(xmlNodePtr node)
{
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

bool CParsedXml::IsElement(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

std::shared_ptr<const CParsedXml> CXmlCache::Get(const std::string& path, std::string& error)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) {
        error = "cannot read " + path;
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        auto found = m_entries.find(path);
        if (found != m_entries.end() && found->second.size == info.st_size &&
            found->second.modified.tv_sec == info.st_mtim.tv_sec &&
            found->second.modified.tv_nsec == info.st_mtim.tv_nsec) {
            found->second.lastUse = ++m_clock;
            return found->second.doc;
        }
    }
    // Parsed outside the lock: other documents stay available meanwhile.
    auto doc = CParsedXml::ParseFile(path, error);
    if (!doc)
        return nullptr;
    std::lock_guard lock(m_mutex);
    auto& entry = m_entries[path];
    m_bytes -= static_cast<size_t>(entry.size);
    entry = CEntry{doc, info.st_mtim, info.st_size, ++m_clock};
    m_bytes += static_cast<size_t>(info.st_size);
    EvictOverBudget();
    return doc;
}

size_t CXmlCache::CachedCount()
{
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

void CXmlCache::EvictOverBudget()
{
    while (m_bytes > m_budget && m_entries.size() > 1) {
        auto oldest = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        m_bytes -= static_cast<size_t>(oldest->second.size);
        m_entries.erase(oldest);
    }
}
