#pragma once

#include <memory>
#include <string>

#include "ItemDataManager.h"

class IModalRunner;

// The Marketplace collection: the catalogue index Market/index.xml, downloaded at every
// refresh, and the session id that every catalogue page URL carries.
class CMarketItemDataManager : public CItemDataManager
{
public:
    // Obtains the session id at once (unless offline).
    explicit CMarketItemDataManager(IModalRunner& runner);

    bool UpdateIndex() override;
    bool ListRootItems(CItemList& roots) override { return ListMarketCategories(roots); }
    bool ListChildItems(const CTreeItem& parent, CItemList& children) override;
    bool GetItemURL(const CTreeItem& item, std::string& url) override;

    bool LoadCategories();
    // The categories at the root of the tree, in the index's order.
    bool ListMarketCategories(CItemList& list);
    // The session id, asked of the marketplace web server while it is still empty.
    const std::string& LoadSession();

private:
    IModalRunner& m_runner;
    std::unique_ptr<CXmlDocument> m_index;
    std::string m_sessionId;
};
