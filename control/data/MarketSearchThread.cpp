#include "MarketSearchThread.h"

#include "MarketItem.h"
#include "Settings.h"
#include "XmlAccess.h"

CMarketSearchThread::CMarketSearchThread(CItemList& results)
    : CSearchThread(results)
{
}

void CMarketSearchThread::Setup(const std::string& searchText, const std::string& sessionId, HWND target)
{
    SetSearchText(searchText);
    m_sessionId = sessionId;
    SetTargetWindow(target);
}

void CMarketSearchThread::StartWork()
{
    Results().Clear();
    PostSearchStarted(1);
}

void CMarketSearchThread::DoWork()
{
    std::unique_ptr<CXmlDocument> answer;
    std::string url = GetMarketplaceUrl() + "/components/xmlsearchresults.jsp?lparam=" + GetSearchText() +
                      "&sid=" + m_sessionId;
    if (OpenXmlDocument(answer, url, "CMarketItemDataManager::ListSearchResults()")) {
        if (auto components = answer->SelectNodes("marketsearch/component")) {
            for (const CXmlNode& component : *components) {
                std::string id = GetElementAttributeValue(component, "id");
                std::string name = GetElementAttributeValue(component, "name");
                Results().Append(std::make_unique<CMarketItem>(ITEM_LEAF, name, "", "", name, id));
            }
        }
    }
    PostSearchProgress();
    SetStopFlag();
}

void CMarketSearchThread::EndWork()
{
    PostSearchFinished();
}
