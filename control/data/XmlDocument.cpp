#include "XmlDocument.h"

#include <cctype>
#include <mutex>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "FileUtil.h"
#include "HttpTransfer.h"
#include "UrlFetch.h"

namespace
{
// Documents never fetch anything themselves: DTDs and external entities stay unread.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void InitLibxmlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    });
}

std::string ToString(const xmlChar* text)
{
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

const xmlChar* X(const std::string& s)
{
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

bool IsWhiteSpaceOnly(const xmlChar* text)
{
    for (; text && *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    return true;
}

// White-space-only text goes, as in a DOM that does not preserve white space; xml:space
// "preserve" keeps it.
void DropBlankText(xmlNodePtr parent)
{
    for (xmlNodePtr child = parent->children; child;) {
        xmlNodePtr next = child->next;
        if (child->type == XML_TEXT_NODE && IsWhiteSpaceOnly(child->content) && xmlNodeGetSpacePreserve(child) != 1) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            DropBlankText(child);
        }
        child = next;
    }
}

void CollectByTagName(xmlNodePtr parent, const std::string& name, std::vector<CXmlNode>& out)
{
    // Iterative walk: documents are at most as deep as the parser allows, but no recursion
    // is needed for a pre-order walk.
    xmlNodePtr node = parent->children;
    while (node && node != parent) {
        if (node->type == XML_ELEMENT_NODE) {
            std::string nodeName = node->ns && node->ns->prefix
                                       ? ToString(node->ns->prefix) + ":" + ToString(node->name)
                                       : ToString(node->name);
            if (name == "*" || nodeName == name)
                out.emplace_back(node);
            if (node->children) {
                node = node->children;
                continue;
            }
        }
        while (node != parent && !node->next)
            node = node->parent;
        if (node != parent)
            node = node->next;
    }
}

std::optional<CXmlNodeList> Select(xmlDocPtr doc, xmlNodePtr context, const std::string& xpath,
                                   const std::map<std::string, std::string>& variables)
{
    if (!doc)
        return CXmlNodeList();
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        return std::nullopt;
    ctx->node = context;
    for (const auto& [name, value] : variables)
        xmlXPathRegisterVariable(ctx, X(name), xmlXPathNewString(X(value)));
    xmlXPathObjectPtr result = xmlXPathEvalExpression(X(xpath), ctx);
    std::optional<CXmlNodeList> list;
    if (result && result->type == XPATH_NODESET) {
        std::vector<CXmlNode> nodes;
        if (result->nodesetval)
            for (int i = 0; i < result->nodesetval->nodeNr; ++i)
                nodes.emplace_back(result->nodesetval->nodeTab[i]);
        list = CXmlNodeList(std::move(nodes));
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return list;
}

bool IsHttpUrl(const std::string& source)
{
    auto starts = [&](const char* prefix) {
        std::string p = prefix;
        if (source.size() < p.size())
            return false;
        for (size_t i = 0; i < p.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(source[i])) != p[i])
                return false;
        return true;
    };
    return starts("http://") || starts("https://");
}
}  // namespace

int CXmlNode::GetNodeType() const
{
    if (!m_node)
        return 0;
    switch (m_node->type) {
    case XML_ELEMENT_NODE: return NODE_ELEMENT;
    case XML_ATTRIBUTE_NODE: return NODE_ATTRIBUTE;
    case XML_TEXT_NODE: return NODE_TEXT;
    case XML_CDATA_SECTION_NODE: return NODE_CDATA_SECTION;
    case XML_ENTITY_REF_NODE: return NODE_ENTITY_REFERENCE;
    case XML_PI_NODE: return NODE_PROCESSING_INSTRUCTION;
    case XML_COMMENT_NODE: return NODE_COMMENT;
    case XML_DOCUMENT_NODE: return NODE_DOCUMENT;
    default: return static_cast<int>(m_node->type);
    }
}

std::string CXmlNode::GetNodeName() const
{
    if (!m_node)
        return {};
    switch (m_node->type) {
    case XML_TEXT_NODE: return "#text";
    case XML_CDATA_SECTION_NODE: return "#cdata-section";
    case XML_COMMENT_NODE: return "#comment";
    case XML_DOCUMENT_NODE: return "#document";
    default: break;
    }
    if ((m_node->type == XML_ELEMENT_NODE || m_node->type == XML_ATTRIBUTE_NODE) && m_node->ns && m_node->ns->prefix)
        return ToString(m_node->ns->prefix) + ":" + ToString(m_node->name);
    return ToString(m_node->name);
}

std::optional<std::string> CXmlNode::GetNodeValue() const
{
    if (!m_node)
        return std::nullopt;
    switch (m_node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return ToString(m_node->content);
    case XML_ATTRIBUTE_NODE: {
        xmlChar* value = xmlNodeGetContent(m_node);
        std::string text = ToString(value);
        xmlFree(value);
        return text;
    }
    default:
        return std::nullopt;
    }
}

CXmlNode CXmlNode::GetFirstChild() const
{
    return CXmlNode(m_node && m_node->type != XML_ATTRIBUTE_NODE ? m_node->children : nullptr);
}

CXmlNode CXmlNode::GetNextSibling() const
{
    return CXmlNode(m_node ? m_node->next : nullptr);
}

CXmlNode CXmlNode::GetParent() const
{
    return CXmlNode(m_node ? m_node->parent : nullptr);
}

CXmlNodeList CXmlNode::GetChildNodes() const
{
    std::vector<CXmlNode> nodes;
    for (CXmlNode child = GetFirstChild(); child; child = child.GetNextSibling())
        nodes.push_back(child);
    return CXmlNodeList(std::move(nodes));
}

std::optional<std::string> CXmlNode::GetAttribute(const std::string& name) const
{
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return std::nullopt;
    for (xmlAttrPtr attr = m_node->properties; attr; attr = attr->next) {
        std::string attrName = attr->ns && attr->ns->prefix ? ToString(attr->ns->prefix) + ":" + ToString(attr->name)
                                                            : ToString(attr->name);
        if (attrName == name) {
            xmlChar* value = xmlNodeListGetString(m_node->doc, attr->children, 1);
            std::string text = ToString(value);
            xmlFree(value);
            return text;
        }
    }
    return std::nullopt;
}

bool CXmlNode::SetAttribute(const std::string& name, const std::string& value)
{
    if (!m_node || m_node->type != XML_ELEMENT_NODE)
        return false;
    return xmlSetProp(m_node, X(name), X(value)) != nullptr;
}

CXmlNodeList CXmlNode::GetElementsByTagName(const std::string& name) const
{
    std::vector<CXmlNode> nodes;
    if (m_node)
        CollectByTagName(m_node, name, nodes);
    return CXmlNodeList(std::move(nodes));
}

std::optional<CXmlNodeList> CXmlNode::SelectNodes(const std::string& xpath,
                                                  const std::map<std::string, std::string>& variables) const
{
    if (!m_node)
        return std::nullopt;
    return Select(m_node->doc, m_node, xpath, variables);
}

CXmlNode CXmlNode::AppendChild(const CXmlNode& child)
{
    if (!m_node || !child.m_node || child.m_node == m_node)
        return CXmlNode();
    xmlNodePtr node = child.m_node;
    if (node->doc != m_node->doc) {
        node = xmlDocCopyNode(node, m_node->doc, 1);
        if (!node)
            return CXmlNode();
    } else {
        xmlUnlinkNode(node);
    }
    xmlNodePtr added = xmlAddChild(m_node, node);
    if (!added) {
        xmlFreeNode(node);
        return CXmlNode();
    }
    return CXmlNode(added);
}

bool CXmlNode::RemoveChild(const CXmlNode& child)
{
    if (!m_node || !child.m_node || child.m_node->parent != m_node)
        return false;
    xmlUnlinkNode(child.m_node);
    xmlFreeNode(child.m_node);
    return true;
}

CXmlDocument::CXmlDocument()
{
    InitLibxmlOnce();
    m_doc = xmlNewDoc(X("1.0"));
}

CXmlDocument::~CXmlDocument()
{
    xmlFreeDoc(m_doc);
}

void CXmlDocument::Reset()
{
    xmlFreeDoc(m_doc);
    m_doc = xmlNewDoc(X("1.0"));
}

bool CXmlDocument::Load(const std::string& source)
{
    std::string text;
    if (IsHttpUrl(source)) {
        std::string error;
        if (!FetchUrl(source, text, error, CTransferSettings::FromSettings(kMaxDocumentSize))) {
            Reset();
            m_parseError = {-1, error, source, 0, 0};
            return false;
        }
    } else {
        CReadResult read = ReadWholeFile(source, text, kMaxDocumentSize);
        if (read != CReadResult::Ok) {
            Reset();
            m_parseError = {-1, read == CReadResult::Missing ? "The system cannot locate the object specified."
                                                             : "The file cannot be read.",
                            source, 0, 0};
            return false;
        }
    }
    return Parse(text, source);
}

bool CXmlDocument::LoadXml(const std::string& text)
{
    return Parse(text, "");
}

bool CXmlDocument::Parse(const std::string& text, const std::string& url)
{
    Reset();
    m_parseError = {};
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        m_parseError = {-1, "out of memory", url, 0, 0};
        return false;
    }
    // No entity substitution, no DTD loading, no network, no messages on the terminal.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = text.size() > static_cast<size_t>(INT32_MAX)
                        ? nullptr
                        : xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()),
                                            url.empty() ? nullptr : url.c_str(), nullptr, options);
    bool ok = doc && ctxt->wellFormed && xmlDocGetRootElement(doc);
    if (!ok) {
        const xmlError* error = xmlCtxtGetLastError(ctxt);
        m_parseError.errorCode = error && error->code ? error->code : -1;
        m_parseError.reason = error && error->message ? error->message : "The document has no root element.";
        while (!m_parseError.reason.empty() && m_parseError.reason.back() == '\n')
            m_parseError.reason.pop_back();
        m_parseError.url = url;
        m_parseError.line = error ? error->line : 0;
        m_parseError.linePosition = error ? error->int2 : 0;
        xmlFreeDoc(doc);
    } else {
        DropBlankText(reinterpret_cast<xmlNodePtr>(doc));
        xmlFreeDoc(m_doc);
        m_doc = doc;
    }
    xmlFreeParserCtxt(ctxt);
    return ok;
}

CXmlNode CXmlDocument::AsNode() const
{
    return CXmlNode(reinterpret_cast<xmlNodePtr>(m_doc));
}

CXmlNode CXmlDocument::GetDocumentElement() const
{
    return CXmlNode(m_doc ? xmlDocGetRootElement(m_doc) : nullptr);
}

void CXmlDocument::SetDocumentElement(const CXmlNode& element)
{
    if (!element || element.GetNodeType() != NODE_ELEMENT)
        return;
    xmlNodePtr node = element.Raw();
    if (node->doc != m_doc)
        node = xmlDocCopyNode(node, m_doc, 1);
    else
        xmlUnlinkNode(node);
    if (!node)
        return;
    xmlNodePtr old = xmlDocSetRootElement(m_doc, node);
    if (old && old != node)
        xmlFreeNode(old);
}

CXmlNode CXmlDocument::CreateElement(const std::string& name)
{
    return CXmlNode(xmlNewDocNode(m_doc, nullptr, X(name), nullptr));
}

CXmlNodeList CXmlDocument::GetElementsByTagName(const std::string& name) const
{
    return AsNode().GetElementsByTagName(name);
}

std::optional<CXmlNodeList> CXmlDocument::SelectNodes(const std::string& xpath,
                                                      const std::map<std::string, std::string>& variables) const
{
    return Select(m_doc, reinterpret_cast<xmlNodePtr>(m_doc), xpath, variables);
}

std::string CXmlDocument::GetXml() const
{
    if (!m_doc || !xmlDocGetRootElement(m_doc))
        return {};
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(m_doc, &buffer, &size, "UTF-8", 1);
    std::string text = buffer ? std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size)) : "";
    xmlFree(buffer);
    return text;
}

bool CXmlDocument::Save(const std::string& path) const
{
    std::string text = GetXml();
    if (text.empty())
        return false;
    return WriteFileAtomically(path, text, 0644);
}
