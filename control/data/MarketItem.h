#pragma once

#include <string>

#include "TreeItem.h"

// A record of the Marketplace tree: a category (kind 3), a subcategory (4) or a product (5),
// the last also as a search result.
class CMarketItem : public CTreeItem
{
public:
    CMarketItem(std::int32_t kind, std::string name, std::string category, std::string subcategory,
                std::string productName, std::string productId);

    bool HasChildren() const override { return KindHasChildren(GetKind()); }

    const std::string& GetCategory() const { return m_category; }
    const std::string& GetSubcategory() const { return m_subcategory; }
    const std::string& GetProductName() const { return m_productName; }
    const std::string& GetProductId() const { return m_productId; }

private:
    std::string m_category;
    std::string m_subcategory;
    std::string m_productName;
    std::string m_productId;
};
