#pragma once

#include "TabPage.h"

class CLocalItemDataManager;

// The Local tab: the components found on this machine by primary and secondary category,
// searched on the component web server among those present here.
class CLocalTabPage : public CTabPage
{
public:
    CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

protected:
    void CreateDataManager() override;
    void InitBrowser() override;
    void RegisterAnchors() override;
    void LayoutControls() override;
    void RunSearch() override;
    void AddRootItems() override;
    void ExpandItem(QTreeWidgetItem* treeItem) override;

private:
    CLocalItemDataManager* m_localManager = nullptr;
};
