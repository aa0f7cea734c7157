#pragma once

#include <vector>

#include "LocalItemDataManager.h"
#include "TabPage.h"

// The Local tab: the components found on this machine by primary and secondary category,
// searched on the component web server among those present here. A component's page shows
// where on this machine the scan found it.
class CLocalTabPage : public CTabPage
{
public:
    CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

    // The script that adds the places to a component's page.
    static std::string PlacesScript(const std::vector<CLocalItemDataManager::CPlace>& places);

protected:
    void CreateDataManager() override;
    void InitBrowser() override;
    void NavigateToItem(const CTreeItem* item) override;
    CSearchRunner::CThreadFactory PrepareSearch(const std::string& text) override;

private:
    CLocalItemDataManager* m_localManager = nullptr;
    // The places of the component whose page is loading, shown once it has loaded.
    std::vector<CLocalItemDataManager::CPlace> m_places;
};
