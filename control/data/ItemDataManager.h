#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ItemList.h"
#include "TreeItem.h"
#include "XmlDocument.h"

// What a tab page asks of its collection: bring the index up to date, list the root items
// and the children of an item, give an item's page URL. The base answers for a collection
// with no data.
class CItemDataManager
{
public:
    virtual ~CItemDataManager() = default;

    // True when the index on disk may be used.
    virtual bool UpdateIndex();
    // Fills roots with the collection's top items, new records the caller takes over.
    virtual bool ListRootItems(CItemList& roots);
    // Fills children with new records; the caller takes them over.
    virtual bool ListChildItems(const CTreeItem& parent, CItemList& children);
    // The page the browser pane shows for item; false when none can be formed.
    virtual bool GetItemURL(const CTreeItem& item, std::string& url);

protected:
    // The shared rule of ListChildItems: blanks, Search Results and leaves list nothing
    // (true), Home and unknown kinds fail (false); groups and subgroups give no answer here
    // and go on to the collection's own listing.
    static std::optional<bool> AnswerWithoutListing(const CTreeItem& parent);

    static std::string GetChildElementValue(const CXmlNode& node, const std::string& childName);
    static std::string GetElementAttributeValue(const CXmlNode& element, const std::string& name);
    static bool OpenXmlDocument(std::unique_ptr<CXmlDocument>& document, const std::string& source,
                                std::string_view context);
};
