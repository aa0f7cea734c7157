#include "MarketTabPage.h"

#include <memory>

#include "MarketItemDataManager.h"
#include "MarketSearchThread.h"
#include "PageArtwork.h"
#include "UserPrompt.h"
#include "XmlAccess.h"

CMarketTabPage::CMarketTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Marketplace", CPageArtwork::kStripMarket, parent)
{
}

void CMarketTabPage::CreateDataManager()
{
    auto manager = std::make_unique<CMarketItemDataManager>(Runner());
    m_marketManager = manager.get();
    SetDataManager(std::move(manager));
}

void CMarketTabPage::InitBrowser()
{
    CTabPage::InitBrowser();
    Navigate("about:blank");
}

void CMarketTabPage::RegisterAnchors()
{
    RegisterToolbarAnchors(false);
}

void CMarketTabPage::LayoutControls()
{
    LayoutToolbar(true);
}

void CMarketTabPage::AddRootItems()
{
    CItemList categories;
    if (!m_marketManager->ListMarketCategories(categories))
        return;
    InsertRootGroups(categories);
}

void CMarketTabPage::ExpandItem(QTreeWidgetItem* treeItem)
{
    if (const CTreeItem* item = ItemOf(treeItem))
        AddChildItems(treeItem, *item);
}

void CMarketTabPage::RunSearch()
{
    const std::string text = ReadSearchText();
    const std::string session = m_marketManager->LoadSession();
    CItemList results;
    const int ended = RunSearchDialog(
        text,
        [&](HWND self) {
            auto search = std::make_unique<CWorker<CMarketSearchThread>>(results);
            search->Setup(text, session, self);
            return search;
        },
        false);
    if (ended == IDOK) {
        if (!results.IsEmpty())
            AddSearchResults(results);
        else
            ShowNoSearchResults(Prompt());
    }
    BringToTop();
}
