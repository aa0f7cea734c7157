#include "TestingTabPage.h"

#include <algorithm>

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QTreeWidget>

#include "FlatButton.h"
#include "Settings.h"
#include "SplitterBar.h"
#include "TabPageOwner.h"

namespace
{
// The page has no tree images.
constexpr int kNoImageStrip = 0;
}  // namespace

CTestingTabPage::CTestingTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Testing", kNoImageStrip, 0, parent)
{
}

std::string CTestingTabPage::BuildTestingUrl()
{
    return GetComponentWebServer() + "/vantrel/testtab/upload.jsp";
}

void CTestingTabPage::InitTreeImages()
{
    CreateDataManager();
}

void CTestingTabPage::InitBrowser()
{
    CTabPage::InitBrowser();
    Navigate(BuildTestingUrl());
}

// The toolbar as on every page, without the search; the browser takes the tree's place.
void CTestingTabPage::LayoutControls()
{
    CTabPage::LayoutControls();
    GetSearchKinds()->hide();
    GetSearchEdit()->hide();
    GetButton(kSearchId)->hide();
    GetTree()->hide();
    GetSplitter()->hide();
    QFrame* browser = GetBrowserHost();
    const int top = browser->y();
    browser->setGeometry(2, top, std::max(0, width() - 4), std::max(0, height() - 2 - top));
}

void CTestingTabPage::FillTree() {}

void CTestingTabPage::OnActivate()
{
    Owner().ReportSelection(*this, GetSelectionPath());
    GetTree()->setCurrentItem(nullptr);
    Navigate(BuildTestingUrl());
}
