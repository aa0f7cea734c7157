#include "XmlDocument.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <optional>

#include <iconv.h>

#include <libxml/encoding.h>
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

// xml:space of an element: "preserve" and "default" say, anything else inherits.
bool PreservesSpace(xmlNodePtr element, bool inherited)
{
    xmlChar* space = xmlGetNsProp(element, X("space"), XML_XML_NAMESPACE);
    bool preserve = !space ? inherited
                    : xmlStrEqual(space, X("preserve")) ? true
                    : xmlStrEqual(space, X("default"))  ? false
                                                        : inherited;
    xmlFree(space);
    return preserve;
}

// White-space-only text goes, as in a DOM that does not preserve white space; xml:space
// "preserve" keeps it. Each element's xml:space is read once and handed down (libxml2's
// own lookup answers nothing for text nodes).
void DropBlankText(xmlNodePtr parent, bool preserve)
{
    for (xmlNodePtr child = parent->children; child;) {
        xmlNodePtr next = child->next;
        if (child->type == XML_TEXT_NODE && !preserve && IsWhiteSpaceOnly(child->content)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            DropBlankText(child, PreservesSpace(child, preserve));
        }
        child = next;
    }
}

// libxml2 spends time quadratic in the attributes of one element (its duplicate check and
// the list it appends them to) and in the namespaces in scope; a document's own DTD can
// add attributes to every element or hide markup in entities. No document of the vendor's
// servers needs more than a handful of each, nor a DTD.
constexpr size_t kMaxAttributesPerElement = 256;
constexpr size_t kMaxNamespaceDeclarations = 64;

struct CRefusal
{
    std::string reason;  // empty: the text may be parsed
    size_t offset = 0;
};

int LineAt(std::string_view text, size_t offset)
{
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n'));
}

// Linear in the text. Every attribute of a start tag has its '=' between the tag's '<' and
// the next '<' (a value cannot hold '<'), so counting there never counts too few.
CRefusal FindFlood(std::string_view text)
{
    for (const char* declaration : {"<!ENTITY", "<!ATTLIST"})
        if (size_t at = text.find(declaration); at != std::string_view::npos)
            return {"The document declares entities or attributes of its own.", at};
    size_t namespaces = 0;
    for (size_t at = text.find("xmlns"); at != std::string_view::npos; at = text.find("xmlns", at + 5))
        if (++namespaces > kMaxNamespaceDeclarations)
            return {"The document declares more than " + std::to_string(kMaxNamespaceDeclarations) + " namespaces.", at};
    for (size_t at = text.find('<'); at != std::string_view::npos;) {
        size_t next = text.find('<', at + 1);
        std::string_view piece = text.substr(at, next == std::string_view::npos ? next : next - at);
        // Comments, CDATA sections and processing instructions carry no attributes.
        bool markup = !piece.starts_with("<!--") && !piece.starts_with("<![CDATA[") && !piece.starts_with("<?");
        if (markup && static_cast<size_t>(std::count(piece.begin(), piece.end(), '=')) > kMaxAttributesPerElement)
            return {"An element has more than " + std::to_string(kMaxAttributesPerElement) + " attributes.", at};
        at = next;
    }
    return {};
}

// The encoding the parser would read the text in: a byte-order mark or the first
// characters, else the XML declaration. Empty for UTF-8, nothing for one we do not read.
std::optional<std::string> SourceEncoding(std::string_view text)
{
    auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    switch (text.size() >= 4 ? xmlDetectCharEncoding(bytes, 4) : XML_CHAR_ENCODING_NONE) {
    case XML_CHAR_ENCODING_UTF16LE: return "UTF-16LE";
    case XML_CHAR_ENCODING_UTF16BE: return "UTF-16BE";
    case XML_CHAR_ENCODING_UCS4LE: return "UCS-4LE";
    case XML_CHAR_ENCODING_UCS4BE: return "UCS-4BE";
    case XML_CHAR_ENCODING_NONE: return "";
    case XML_CHAR_ENCODING_UTF8: break;
    default: return std::nullopt;
    }
    if (!text.starts_with("<?xml"))
        return "";
    std::string_view declaration = text.substr(0, text.find("?>"));
    size_t open = declaration.find_first_of("\"'", std::min(declaration.find("encoding"), declaration.size()));
    size_t close = open == std::string_view::npos ? open : declaration.find(declaration[open], open + 1);
    if (close == std::string_view::npos)
        return "";
    std::string name(declaration.substr(open + 1, close - open - 1));
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // An 8-bit text labelled UTF-16 is read as UTF-8, as the parser does.
    return name == "UTF-8" || name == "UTF8" || name.starts_with("UTF-16") ? "" : name;
}

// The source as UTF-8 (converted into storage when it is in another encoding), so that
// the flood check and the parser read the same characters.
bool ToUtf8(const std::string& source, std::string& storage, std::string_view& text, std::string& error)
{
    const iconv_t none = reinterpret_cast<iconv_t>(-1);
    std::optional<std::string> encoding = SourceEncoding(source);
    iconv_t converter = encoding && !encoding->empty() ? iconv_open("UTF-8", encoding->c_str()) : none;
    if (!encoding || (!encoding->empty() && converter == none)) {
        error = "The document's encoding is not supported.";
        return false;
    }
    text = source;
    if (converter != none) {
        storage.assign(source.size() * 2 + 16, '\0');
        char* in = const_cast<char*>(source.data());
        size_t inLeft = source.size();
        size_t done = 0;
        for (;;) {
            char* out = storage.data() + done;
            size_t outLeft = storage.size() - done;
            size_t rc = iconv(converter, &in, &inLeft, &out, &outLeft);
            done = storage.size() - outLeft;
            if (rc != static_cast<size_t>(-1) || errno != E2BIG)
                break;
            storage.resize(storage.size() * 2);
        }
        iconv_close(converter);
        if (inLeft != 0) {
            error = "The document is not valid " + *encoding + ".";
            return false;
        }
        storage.resize(done);
        text = storage;
    }
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return true;
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

bool CXmlDocument::Parse(const std::string& source, const std::string& url)
{
    Reset();
    m_parseError = {};
    std::string converted;
    std::string_view text;
    std::string refused;
    if (!ToUtf8(source, converted, text, refused)) {
        m_parseError = {-1, refused, url, 0, 0};
        return false;
    }
    if (CRefusal flood = FindFlood(text); !flood.reason.empty()) {
        m_parseError = {-1, flood.reason, url, LineAt(text, flood.offset), 0};
        return false;
    }
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        m_parseError = {-1, "out of memory", url, 0, 0};
        return false;
    }
    // No entity substitution, no DTD loading, no network, no messages on the terminal; the
    // text is UTF-8 whatever its declaration said.
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_IGNORE_ENC;
    xmlDocPtr doc = text.size() > static_cast<size_t>(INT32_MAX)
                        ? nullptr
                        : xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()),
                                            url.empty() ? nullptr : url.c_str(), "UTF-8", options);
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
        DropBlankText(reinterpret_cast<xmlNodePtr>(doc), false);
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

CXmlNode CXmlDocument::CreateTextNode(const std::string& text)
{
    return CXmlNode(xmlNewDocText(m_doc, X(text)));
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
