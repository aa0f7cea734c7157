#pragma once

#include <string>

#include "TabPage.h"

// The Testing tab: no tree and no search, only the vendor's component-testing upload page,
// loaded anew whenever the tab comes to the front again.
class CTestingTabPage : public CTabPage
{
public:
    CTestingTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent = nullptr);

    // The upload page on the component web server.
    static std::string BuildTestingUrl();

protected:
    void InitTreeImages() override;
    void InitBrowser() override;
    void LayoutControls() override;
    void FillTree() override;
    void OnActivate() override;
};
