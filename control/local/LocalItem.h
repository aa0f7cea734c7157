#pragma once

#include <string>

#include "TreeItem.h"

// A record of the Local tree: a primary category (kind 3), a secondary category (4) or a
// component found on this machine (5), the last also as a search result.
class CLocalItem : public CTreeItem
{
public:
    CLocalItem(std::int32_t kind, std::string name, std::string primaryCategory, std::string secondaryCategory,
               std::string componentName, std::string scid);

    bool HasChildren() const override { return KindHasChildren(GetKind()); }

    const std::string& GetPrimaryCategory() const { return m_primaryCategory; }
    const std::string& GetSecondaryCategory() const { return m_secondaryCategory; }
    const std::string& GetComponentName() const { return m_componentName; }
    const std::string& GetScid() const { return m_scid; }
    // A component that known vulnerabilities affect, or may affect (the index's affected="yes").
    bool IsAffected() const { return m_affected; }
    void SetAffected(bool affected) { m_affected = affected; }

private:
    std::string m_primaryCategory;
    std::string m_secondaryCategory;
    std::string m_componentName;
    std::string m_scid;
    bool m_affected = false;
};
