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
    // The search carries the session id, fetched before the dialog opens.
    CSearchRunner::CThreadFactory PrepareSearch(const std::string& text) override;
    void CreateDataManager() override;

private:
    CMarketItemDataManager* m_marketManager = nullptr;
};
