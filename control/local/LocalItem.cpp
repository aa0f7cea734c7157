#include "LocalItem.h"

CLocalItem::CLocalItem(std::int32_t kind, std::string name, std::string primaryCategory, std::string secondaryCategory,
                       std::string componentName, std::string scid)
    : CTreeItem(kind, std::move(name)),
      m_primaryCategory(std::move(primaryCategory)),
      m_secondaryCategory(std::move(secondaryCategory)),
      m_componentName(std::move(componentName)),
      m_scid(std::move(scid))
{
}

std::unique_ptr<CLocalItem> CLocalItem::Member(std::int32_t kind, std::string name, std::string qualifiedName,
                                               std::string scid)
{
    auto item = std::make_unique<CLocalItem>(kind, std::move(name), "", "", "", std::move(scid));
    item->m_qualifiedName = std::move(qualifiedName);
    return item;
}
