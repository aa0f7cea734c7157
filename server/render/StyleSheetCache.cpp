#include "StyleSheetCache.h"

#include <sys/stat.h>

#include <libxslt/xsltInternals.h>

#include "Transformer.h"

std::shared_ptr<const CStyleSheet> CStyleSheetCache::Get(const std::string& path, std::string& error)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) {
        error = "no style sheet " + path;
        return nullptr;
    }
    {
        std::lock_guard lock(m_mutex);
        auto found = m_entries.find(path);
        if (found != m_entries.end() && found->second.modified.tv_sec == info.st_mtim.tv_sec &&
            found->second.modified.tv_nsec == info.st_mtim.tv_nsec)
            return found->second.sheet;
    }
    xsltStylesheetPtr compiled = CTransformer::CompileFile(path, error);
    if (!compiled)
        return nullptr;
    auto sheet = std::make_shared<const CStyleSheet>(compiled);
    std::lock_guard lock(m_mutex);
    m_entries[path] = CEntry{sheet, info.st_mtim};
    return sheet;
}
