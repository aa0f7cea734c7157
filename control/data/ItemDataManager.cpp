#include "ItemDataManager.h"

#include "XmlAccess.h"

bool CItemDataManager::UpdateIndex()
{
    return true;
}

bool CItemDataManager::ListRootItems(CItemList&)
{
    return true;
}

bool CItemDataManager::ListChildItems(const CTreeItem&, CItemList&)
{
    return true;
}

bool CItemDataManager::GetItemURL(const CTreeItem&, std::string& url)
{
    url = "about:blank";
    return true;
}

std::optional<bool> CItemDataManager::AnswerWithoutListing(const CTreeItem& parent)
{
    switch (parent.GetKind()) {
    case ITEM_BLANK:
    case ITEM_SEARCH:
    case ITEM_LEAF:
        return true;
    case ITEM_GROUP:
    case ITEM_SUBGROUP:
        return std::nullopt;
    default:
        return false;
    }
}

std::string CItemDataManager::GetChildElementValue(const CXmlNode& node, const std::string& childName)
{
    return XmlChildElementValue(node, childName, "CItemDataManager");
}

std::string CItemDataManager::GetElementAttributeValue(const CXmlNode& element, const std::string& name)
{
    return XmlElementAttributeValue(element, name, "CItemDataManager");
}

bool CItemDataManager::OpenXmlDocument(std::unique_ptr<CXmlDocument>& document, const std::string& source,
                                       std::string_view context)
{
    return ::OpenXmlDocument(document, source, context);
}
