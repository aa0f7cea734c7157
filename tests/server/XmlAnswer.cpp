#include "XmlAnswer.h"

#include <libxml/parser.h>
#include <libxml/xpath.h>

CXmlAnswer::CXmlAnswer(const std::string& text)
{
    m_doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
}

CXmlAnswer::~CXmlAnswer()
{
    if (m_doc)
        xmlFreeDoc(m_doc);
}

std::vector<std::string> CXmlAnswer::Values(const std::string& xpath) const
{
    std::vector<std::string> values;
    if (!m_doc)
        return values;
    xmlXPathContextPtr context = xmlXPathNewContext(m_doc);
    context->node = reinterpret_cast<xmlNodePtr>(m_doc);  // relative paths start at the document, as the client's do
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
    if (result && result->nodesetval) {
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlChar* value = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
            values.emplace_back(value ? reinterpret_cast<const char*>(value) : "");
            xmlFree(value);
        }
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return values;
}

std::string Joined(const std::vector<std::string>& values)
{
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += (i ? "|" : "") + values[i];
    return text;
}
