#include "GeneratedXml.h"

#include <libxml/tree.h>
#include <libxml/xpath.h>

#include "CleanText.h"

namespace
{
const xmlChar* X(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }
}  // namespace

CGeneratedXml::CGeneratedXml(const std::string& rootName)
{
    m_doc = xmlNewDoc(X("1.0"));
    xmlDocSetRootElement(m_doc, xmlNewDocNode(m_doc, nullptr, X(rootName), nullptr));
}

CGeneratedXml::~CGeneratedXml() { xmlFreeDoc(m_doc); }

xmlNodePtr CGeneratedXml::Root() const { return xmlDocGetRootElement(m_doc); }

xmlNodePtr CGeneratedXml::Add(xmlNodePtr parent, const std::string& name, const std::string& text)
{
    xmlNodePtr element = xmlNewDocNode(m_doc, nullptr, X(name), nullptr);
    if (!text.empty())
        xmlAddChild(element, xmlNewDocText(m_doc, X(CleanText(text))));
    return xmlAddChild(parent ? parent : Root(), element);
}

void CGeneratedXml::SetAttribute(xmlNodePtr element, const std::string& name, const std::string& value)
{
    xmlSetProp(element, X(name), X(CleanText(value)));
}

void CGeneratedXml::AddCopy(xmlNodePtr parent, xmlNodePtr node)
{
    if (xmlNodePtr copy = xmlDocCopyNode(node, m_doc, 1))
        xmlAddChild(parent ? parent : Root(), copy);
}

void CGeneratedXml::AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : CleanText(std::string(text))) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}
