#pragma once

#include "TabPage.h"

// The Local tab: the components found on this machine by primary and secondary category,
// searched on the component web server among those present here.
class CLocalTabPage : public CTabPage
{
public:
    CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

protected:
    void CreateDataManager() override;
    CSearchRunner::CThreadFactory PrepareSearch(const std::string& text) override;
};
