#pragma once

#include <string>
#include <string_view>

struct _xmlDoc;
struct _xmlNode;

// A document the server builds itself (upload listings, reports, combined search results)
// to hand to a page's style sheet. Text is cleaned, so any input makes well-formed XML.
class CGeneratedXml
{
public:
    explicit CGeneratedXml(const std::string& rootName);
    ~CGeneratedXml();
    CGeneratedXml(const CGeneratedXml&) = delete;
    CGeneratedXml& operator=(const CGeneratedXml&) = delete;

    _xmlDoc* Doc() const { return m_doc; }
    _xmlNode* Root() const;

    _xmlNode* Add(_xmlNode* parent, const std::string& name, const std::string& text = std::string());
    void SetAttribute(_xmlNode* element, const std::string& name, const std::string& value);
    // A deep copy of a node of another document, appended under parent.
    void AddCopy(_xmlNode* parent, _xmlNode* node);

    // For answers written as text: text cleaned and escaped for an element or attribute.
    static void AppendEscaped(std::string& out, std::string_view text);

private:
    _xmlDoc* m_doc;
};
