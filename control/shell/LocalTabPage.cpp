#include "LocalTabPage.h"

#include <memory>

#include "LocalItemDataManager.h"
#include "LocalSearchThread.h"
#include "PageArtwork.h"
#include "UserPrompt.h"
#include "XmlAccess.h"

CLocalTabPage::CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Local", CPageArtwork::kStripLocal, parent)
{
}

void CLocalTabPage::CreateDataManager()
{
    auto manager = std::make_unique<CLocalItemDataManager>(Runner(), Prompt());
    m_localManager = manager.get();
    SetDataManager(std::move(manager));
}

void CLocalTabPage::InitBrowser()
{
    CTabPage::InitBrowser();
    Navigate("about:blank");
}

void CLocalTabPage::RegisterAnchors()
{
    RegisterToolbarAnchors(false);
}

void CLocalTabPage::LayoutControls()
{
    LayoutToolbar(true);
}

void CLocalTabPage::AddRootItems()
{
    // Read anew, so that a scan since the last listing shows.
    CItemList categories;
    if (!m_localManager->ListComponentCategories(categories, true))
        return;
    InsertRootGroups(categories);
}

void CLocalTabPage::ExpandItem(QTreeWidgetItem* treeItem)
{
    if (const CTreeItem* item = ItemOf(treeItem))
        AddChildItems(treeItem, *item);
}

void CLocalTabPage::RunSearch()
{
    const std::string text = ReadSearchText();
    CItemList results;
    const int ended = RunSearchDialog(
        text,
        [&](HWND self) {
            auto search = std::make_unique<CWorker<CLocalSearchThread>>(results);
            search->Setup(text, self);
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
