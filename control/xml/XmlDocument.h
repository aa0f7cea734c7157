#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// A small DOM over libxml2 with the behaviour the collections expect of their XML documents:
// synchronous loads from a file or an http URL, white-space-only text dropped, and nothing
// fetched on behalf of a document (no DTDs, no external entities). A load ends in seconds:
// shapes the parser would spend minutes on (floods of attributes or namespaces, a DTD of
// the document's own) are refused before parsing.

struct _xmlNode;
struct _xmlDoc;

// DOM node type numbers.
enum
{
    NODE_ELEMENT = 1,
    NODE_ATTRIBUTE = 2,
    NODE_TEXT = 3,
    NODE_CDATA_SECTION = 4,
    NODE_ENTITY_REFERENCE = 5,
    NODE_PROCESSING_INSTRUCTION = 7,
    NODE_COMMENT = 8,
    NODE_DOCUMENT = 9,
};

class CXmlNodeList;

// A node inside a CXmlDocument; valid while the document holds it.
class CXmlNode
{
public:
    CXmlNode() = default;
    explicit CXmlNode(_xmlNode* node) : m_node(node) {}

    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const CXmlNode& other) const { return m_node == other.m_node; }

    int GetNodeType() const;
    std::string GetNodeName() const;
    // Text of text, CDATA, comment and attribute nodes; nothing for elements and others.
    std::optional<std::string> GetNodeValue() const;
    CXmlNode GetFirstChild() const;
    CXmlNode GetNextSibling() const;
    CXmlNode GetParent() const;
    CXmlNodeList GetChildNodes() const;

    // Nothing when the attribute is missing or the node is not an element.
    std::optional<std::string> GetAttribute(const std::string& name) const;
    bool SetAttribute(const std::string& name, const std::string& value);

    // Descendant elements with this name ("*" for all), in document order.
    CXmlNodeList GetElementsByTagName(const std::string& name) const;
    // XPath relative to this node; nothing when the expression is not valid. Variables are
    // strings bound to $name, so that data never has to be pasted into the expression.
    std::optional<CXmlNodeList> SelectNodes(const std::string& xpath,
                                            const std::map<std::string, std::string>& variables = {}) const;

    // Appends child at the end; a node of another document is copied in. Answers the
    // appended node.
    CXmlNode AppendChild(const CXmlNode& child);
    // Unlinks and frees child; handles to it or below it must not be used afterwards.
    bool RemoveChild(const CXmlNode& child);

    _xmlNode* Raw() const { return m_node; }

private:
    _xmlNode* m_node = nullptr;
};

// Nodes in document order, walked by index or like a DOM node list with NextNode.
class CXmlNodeList
{
public:
    CXmlNodeList() = default;
    explicit CXmlNodeList(std::vector<CXmlNode> nodes) : m_nodes(std::move(nodes)) {}

    size_t GetLength() const { return m_nodes.size(); }
    CXmlNode GetItem(size_t index) const { return index < m_nodes.size() ? m_nodes[index] : CXmlNode(); }
    // The next node of the walk, an empty node after the last.
    CXmlNode NextNode() { return m_next < m_nodes.size() ? m_nodes[m_next++] : CXmlNode(); }
    void Reset() { m_next = 0; }

    auto begin() const { return m_nodes.begin(); }
    auto end() const { return m_nodes.end(); }

private:
    std::vector<CXmlNode> m_nodes;
    size_t m_next = 0;
};

struct CXmlParseError
{
    int errorCode = 0;  // 0 after a successful load
    std::string reason;
    std::string url;
    int line = 0;
    int linePosition = 0;
};

class CXmlDocument
{
public:
    CXmlDocument();
    ~CXmlDocument();
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Replaces the content with the file at a local path or the answer of an http(s) URL.
    // On failure the document is empty (and still usable) and GetParseError says why.
    bool Load(const std::string& source);
    bool LoadXml(const std::string& text);
    const CXmlParseError& GetParseError() const { return m_parseError; }

    CXmlNode AsNode() const;
    CXmlNode GetDocumentElement() const;
    void SetDocumentElement(const CXmlNode& element);
    CXmlNode CreateElement(const std::string& name);
    // A text node, for an element's content; markup in text is escaped when saved.
    CXmlNode CreateTextNode(const std::string& text);

    CXmlNodeList GetElementsByTagName(const std::string& name) const;
    std::optional<CXmlNodeList> SelectNodes(const std::string& xpath,
                                            const std::map<std::string, std::string>& variables = {}) const;

    // The document as text; empty for an empty document.
    std::string GetXml() const;
    // Writes GetXml() to path (replacing it atomically).
    bool Save(const std::string& path) const;

    // Largest file or answer that Load accepts: five times the largest document of the
    // vendor's servers, and small enough that the parser's worst shape (elements nested as
    // deep as it allows, each under a namespace) still loads within seconds.
    static constexpr size_t kMaxDocumentSize = 16 * 1024 * 1024;

private:
    bool Parse(const std::string& source, const std::string& url);
    void Reset();

    _xmlDoc* m_doc = nullptr;
    CXmlParseError m_parseError;
};
