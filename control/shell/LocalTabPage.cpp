#include "LocalTabPage.h"

#include <memory>

#include "LocalItemDataManager.h"
#include "LocalSearchThread.h"
#include "PageArtwork.h"

CLocalTabPage::CLocalTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent)
    : CTabPage(owner, runner, prompt, "Local", CPageArtwork::kStripLocal, kStartBlank, parent)
{
}

void CLocalTabPage::CreateDataManager()
{
    // The manager offers the CLASSPATH scan when there is no index yet.
    SetDataManager(std::make_unique<CLocalItemDataManager>(Runner(), Prompt()));
}

CSearchRunner::CThreadFactory CLocalTabPage::PrepareSearch(const std::string& text)
{
    return [text](CItemList& results, HWND dialog) -> std::unique_ptr<CSearchThread> {
        auto search = std::make_unique<CWorker<CLocalSearchThread>>(results);
        search->Setup(text, dialog);
        return search;
    };
}
