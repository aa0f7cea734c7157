#pragma once

#include <memory>
#include <string>

#include "TreeItem.h"

// Below a component of the Local tree: its packages and their classes.
enum LocalItemKind : std::int32_t
{
    ITEM_LOCAL_PACKAGE = 6,
    ITEM_LOCAL_CLASS = 7,
};

// A record of the Local tree: a primary category (kind 3), a secondary category (4) or a
// component found on this machine (5), the last also as a search result; under a component,
// a package (6) and a class (7), the last also as a search result.
class CLocalItem : public CTreeItem
{
public:
    CLocalItem(std::int32_t kind, std::string name, std::string primaryCategory, std::string secondaryCategory,
               std::string componentName, std::string scid);
    // A package or class of the component scid: its dotted name.
    static std::unique_ptr<CLocalItem> Member(std::int32_t kind, std::string name, std::string qualifiedName,
                                              std::string scid);

    // A catalogued component has its classes below it; an archive the catalogue does not know
    // has none to list.
    bool HasChildren() const override
    {
        return KindHasChildren(GetKind()) || ((GetKind() == ITEM_LEAF || GetKind() == ITEM_LOCAL_PACKAGE) &&
                                              !m_scid.empty() && !IsLocalId(m_scid));
    }
    // An id of the index that names an archive without a catalogue entry, not a catalogue SCID.
    static bool IsLocalId(const std::string& scid) { return scid.starts_with("local:"); }

    const std::string& GetPrimaryCategory() const { return m_primaryCategory; }
    const std::string& GetSecondaryCategory() const { return m_secondaryCategory; }
    const std::string& GetComponentName() const { return m_componentName; }
    const std::string& GetScid() const { return m_scid; }
    // Of a package or class: "org.acme.io" or "org.acme.io.Reader".
    const std::string& GetQualifiedName() const { return m_qualifiedName; }
    // A component that known vulnerabilities affect, or may affect (the index's affected="yes").
    bool IsAffected() const { return m_affected; }
    void SetAffected(bool affected) { m_affected = affected; }

private:
    std::string m_primaryCategory;
    std::string m_secondaryCategory;
    std::string m_componentName;
    std::string m_scid;
    std::string m_qualifiedName;
    bool m_affected = false;
};
