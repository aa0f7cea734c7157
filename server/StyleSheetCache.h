#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

struct _xsltStylesheet;

// A compiled style sheet; libxslt allows one to serve many transformations at once.
class CStyleSheet
{
public:
    explicit CStyleSheet(_xsltStylesheet* sheet) : m_sheet(sheet) {}
    ~CStyleSheet();
    CStyleSheet(const CStyleSheet&) = delete;
    CStyleSheet& operator=(const CStyleSheet&) = delete;

    _xsltStylesheet* Raw() const { return m_sheet; }

private:
    _xsltStylesheet* m_sheet;
};

// Style sheets compiled once and kept; a sheet whose file changes is compiled again.
class CStyleSheetCache
{
public:
    // path must already be a real path inside the site.
    std::shared_ptr<const CStyleSheet> Get(const std::string& path, std::string& error);

private:
    struct CEntry
    {
        std::shared_ptr<const CStyleSheet> sheet;
        timespec modified{};
    };

    std::mutex m_mutex;
    std::unordered_map<std::string, CEntry> m_entries;
};
