#pragma once

#include <string>

#include "TreeItem.h"

// A record of the Java tree: a technology (kind 3), a package (4) or a class (5), also
// as a search result that may point at a method.
class CJavaItem : public CTreeItem
{
public:
    CJavaItem(std::int32_t kind, std::string name, std::string technology, std::string docRoot, std::string package,
              std::string className, std::string member);

    bool HasChildren() const override { return KindHasChildren(GetKind()); }

    const std::string& GetTechnology() const { return m_technology; }
    const std::string& GetDocRoot() const { return m_docRoot; }
    const std::string& GetPackage() const { return m_package; }
    const std::string& GetClass() const { return m_class; }
    const std::string& GetMember() const { return m_member; }

    // The package with "." replaced by "/" (java/lang), computed on first use.
    const std::string& GetPackagePath() const;
    // The member with blanks replaced by "+", computed on first use.
    const std::string& GetMemberAnchor() const;
    // package + "." + class
    std::string GetFullyQualifiedName() const;

private:
    std::string m_technology;
    std::string m_docRoot;
    std::string m_package;
    std::string m_class;
    std::string m_member;
    mutable std::string m_packagePath;
    mutable std::string m_memberAnchor;
    mutable bool m_packagePathDone = false;
    mutable bool m_memberAnchorDone = false;
};
