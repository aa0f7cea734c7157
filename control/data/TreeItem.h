#pragma once

#include <cstdint>
#include <string>

// Kinds of tree items, shared by every collection (each gives 3 to 5 its own meaning).
enum ItemKind : std::int32_t
{
    ITEM_BLANK = 0,
    ITEM_HOME = 1,
    ITEM_SEARCH = 2,
    ITEM_GROUP = 3,
    ITEM_SUBGROUP = 4,
    ITEM_LEAF = 5,
};

// One item of a tree: its kind and the text shown.
class CTreeItem
{
public:
    CTreeItem(std::int32_t kind, std::string name) : m_kind(kind), m_name(std::move(name)) {}
    virtual ~CTreeItem() = default;

    // Whether the item gets an expand button. Plain records (Home, Search Results) answer true.
    virtual bool HasChildren() const { return true; }

    std::int32_t GetKind() const { return m_kind; }
    const std::string& GetName() const { return m_name; }

    // Order: names compared case-insensitively (ASCII letters folded to lower case).
    static int CompareNames(const std::string& a, const std::string& b);
    bool Precedes(const CTreeItem& other) const { return CompareNames(m_name, other.m_name) < 0; }
    // Sameness: equal without regard to case and also byte for byte.
    bool IsSameAs(const CTreeItem& other) const;

    // The rule of every collection's records: only groups and subgroups have children.
    static bool KindHasChildren(std::int32_t kind) { return kind == ITEM_GROUP || kind == ITEM_SUBGROUP; }

private:
    std::int32_t m_kind;
    std::string m_name;
};
