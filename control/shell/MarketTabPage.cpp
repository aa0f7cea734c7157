#include "MarketTabPage.h"

#include <memory>

#include "MarketItemDataManager.h"
#include "MarketSearchThread.h"
#include "PageArtwork.h"

CMarketTabPage::CMarketTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Marketplace", CPageArtwork::kStripMarket, kStartBlank, parent)
{
}

void CMarketTabPage::CreateDataManager()
{
    m_marketManager = &SetDataManager(std::make_unique<CMarketItemDataManager>(Runner()));
}

// The session id is asked for before the dialog opens, since fetching it may show a dialog of its own.
CSearchRunner::CThreadFactory CMarketTabPage::PrepareSearch(const std::string& text)
{
    const std::string session = m_marketManager->LoadSession();
    return [text, session](CItemList& results, HWND dialog) -> std::unique_ptr<CSearchThread> {
        auto search = std::make_unique<CWorker<CMarketSearchThread>>(results);
        search->Setup(text, session, dialog);
        return search;
    };
}
