#include "ScanUnit.h"

#include <algorithm>
#include <utility>

#include "UnitContent.h"

CScanUnit::CScanUnit(std::string path, bool nested, std::vector<std::string> names,
                     std::shared_ptr<CUnitContent> content)
    : m_path(std::move(path)), m_nested(nested), m_names(std::move(names)), m_content(std::move(content))
{
}

const std::vector<std::string>& CScanUnit::GetDistinctNames() const
{
    if (!m_distinct) {
        m_distinct = m_names;
        std::sort(m_distinct->begin(), m_distinct->end());
        m_distinct->erase(std::unique(m_distinct->begin(), m_distinct->end()), m_distinct->end());
    }
    return *m_distinct;
}
