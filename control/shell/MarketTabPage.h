#pragma once

#include "TabPage.h"

class CMarketItemDataManager;

// The Marketplace tab: the vendor's catalogue by category and subcategory, searched on the
// marketplace site with the session id.
class CMarketTabPage : public CTabPage
{
public:
    CMarketTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

protected:
    void CreateDataManager() override;
    void InitBrowser() override;
    void RegisterAnchors() override;
    void LayoutControls() override;
    void RunSearch() override;
    void AddRootItems() override;
    void ExpandItem(QTreeWidgetItem* treeItem) override;

private:
    CMarketItemDataManager* m_marketManager = nullptr;
};
