#include "JavaItem.h"

#include <algorithm>

CJavaItem::CJavaItem(std::int32_t kind, std::string name, std::string technology, std::string docRoot,
                     std::string package, std::string className, std::string member)
    : CTreeItem(kind, std::move(name))
    , m_technology(std::move(technology))
    , m_docRoot(std::move(docRoot))
    , m_package(std::move(package))
    , m_class(std::move(className))
    , m_member(std::move(member))
{
}

const std::string& CJavaItem::GetPackagePath() const
{
    if (!m_packagePathDone) {
        m_packagePath = m_package;
        std::replace(m_packagePath.begin(), m_packagePath.end(), '.', '/');
        m_packagePathDone = true;
    }
    return m_packagePath;
}

const std::string& CJavaItem::GetMemberAnchor() const
{
    if (!m_memberAnchorDone) {
        m_memberAnchor = m_member;
        std::replace(m_memberAnchor.begin(), m_memberAnchor.end(), ' ', '+');
        m_memberAnchorDone = true;
    }
    return m_memberAnchor;
}

std::string CJavaItem::GetFullyQualifiedName() const
{
    return m_package + "." + m_class;
}
