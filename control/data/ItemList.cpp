#include "ItemList.h"

#include <algorithm>

void CItemList::Sort()
{
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const std::unique_ptr<CTreeItem>& a, const std::unique_ptr<CTreeItem>& b) {
                         return a->Precedes(*b);
                     });
}

void CItemList::Unique()
{
    auto last = std::unique(m_items.begin(), m_items.end(),
                            [](const std::unique_ptr<CTreeItem>& a, const std::unique_ptr<CTreeItem>& b) {
                                return a->IsSameAs(*b);
                            });
    m_items.erase(last, m_items.end());
}

std::vector<std::unique_ptr<CTreeItem>> CItemList::TakeAll()
{
    std::vector<std::unique_ptr<CTreeItem>> items = std::move(m_items);
    m_items.clear();
    return items;
}
