#pragma once

#include <memory>
#include <vector>

#include "TreeItem.h"

// The ordered list in which a data manager hands new records to its caller. The list owns
// them until the caller takes them over with TakeAll.
class CItemList
{
public:
    void Clear() { m_items.clear(); }
    void Append(std::unique_ptr<CTreeItem> item) { m_items.push_back(std::move(item)); }

    size_t GetCount() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    CTreeItem& GetAt(size_t index) const { return *m_items[index]; }

    // Stable sort by the case-insensitive order of names.
    void Sort();
    // On a sorted list: of each run of adjacent records that are the same, keeps the first.
    void Unique();

    // Destroys the records that match, keeping the order of the others.
    template <typename Predicate>
    void RemoveIf(Predicate matches)
    {
        std::erase_if(m_items, [&matches](const std::unique_ptr<CTreeItem>& item) { return matches(*item); });
    }

    // Hands every record over to the caller and leaves the list empty.
    std::vector<std::unique_ptr<CTreeItem>> TakeAll();

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::vector<std::unique_ptr<CTreeItem>> m_items;
};
