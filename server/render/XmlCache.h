#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct _xmlDoc;
struct _xmlNode;

// A parsed XML document, read-only once published; freed with its last reference.
class CParsedXml
{
public:
    explicit CParsedXml(_xmlDoc* doc) : m_doc(doc) {}
    ~CParsedXml();
    CParsedXml(const CParsedXml&) = delete;
    CParsedXml& operator=(const CParsedXml&) = delete;

    _xmlDoc* Doc() const { return m_doc; }

    // Parses a file without touching the network; nothing and a reason when it is not
    // well-formed XML.
    static std::shared_ptr<const CParsedXml> ParseFile(const std::string& path, std::string& error);

    // Reading helpers: an element's attribute (empty when absent), its text, and whether a
    // node is an element of that name.
    static std::string Attribute(_xmlNode* node, const char* name);
    static std::string Text(_xmlNode* node);
    static bool IsElement(_xmlNode* node, const char* name);

private:
    _xmlDoc* m_doc;
};

// Site documents parsed once and kept, so a request never re-reads XML. A file that
// changes on disk is parsed again; the least recently used documents go when the files
// kept exceed the budget.
class CXmlCache
{
public:
    explicit CXmlCache(size_t budgetBytes) : m_budget(budgetBytes) {}

    // path must already be a real path inside the site.
    std::shared_ptr<const CParsedXml> Get(const std::string& path, std::string& error);

    size_t CachedCount();

private:
    struct CEntry
    {
        std::shared_ptr<const CParsedXml> doc;
        timespec modified{};
        int64_t size = 0;
        uint64_t lastUse = 0;
    };

    void EvictOverBudget();

    std::mutex m_mutex;
    std::unordered_map<std::string, CEntry> m_entries;
    size_t m_budget;
    size_t m_bytes = 0;
    uint64_t m_clock = 0;
};
