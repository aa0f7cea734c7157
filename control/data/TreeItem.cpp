#include "TreeItem.h"

int CTreeItem::CompareNames(const std::string& a, const std::string& b)
{
    auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = fold(static_cast<unsigned char>(a[i]));
        int cb = fold(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca - cb;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool CTreeItem::IsSameAs(const CTreeItem& other) const
{
    return CompareNames(m_name, other.m_name) == 0 && m_name == other.m_name;
}
