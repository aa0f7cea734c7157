#pragma once

#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "StyleSheet.h"

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
