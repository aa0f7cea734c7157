#include "MarketItem.h"

CMarketItem::CMarketItem(std::int32_t kind, std::string name, std::string category, std::string subcategory,
                         std::string productName, std::string productId)
    : CTreeItem(kind, std::move(name)),
      m_category(std::move(category)),
      m_subcategory(std::move(subcategory)),
      m_productName(std::move(productName)),
      m_productId(std::move(productId))
{
}
