#include "MarketItemDataManager.h"

#include "DownloadIfNewer.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "MarketItem.h"
#include "Settings.h"
#include "VendorServers.h"

namespace
{
std::string IndexFile()
{
    return GetDataDirectory() + "Market/index.xml";
}
}  // namespace

CMarketItemDataManager::CMarketItemDataManager(IModalRunner& runner)
    : m_runner(runner)
{
    LoadSession();
}

bool CMarketItemDataManager::UpdateIndex()
{
    if (IsOfflineMode())
        return true;
    // No newer-check: the catalogue changes too often for one, so every refresh downloads.
    DownloadReplacing(m_runner, MarketplaceWebServer(), "/vantrel/markettab/indexfile.jsp", IndexFile(), true, true);
    return true;
}

bool CMarketItemDataManager::LoadCategories()
{
    if (m_index)
        return true;
    return OpenXmlDocument(m_index, IndexFile(), "CMarketItemDataManager::LoadCategories");
}

bool CMarketItemDataManager::ListMarketCategories(CItemList& list)
{
    list.Clear();
    if (!LoadCategories())
        return false;
    for (const CXmlNode& category : m_index->GetElementsByTagName("category")) {
        std::string name = GetElementAttributeValue(category, "name");
        list.Append(std::make_unique<CMarketItem>(ITEM_GROUP, name, name, "", "", ""));
    }
    return true;
}

bool CMarketItemDataManager::ListChildItems(const CTreeItem& parent, CItemList& children)
{
    children.Clear();
    if (std::optional<bool> answer = AnswerWithoutListing(parent))
        return *answer;
    const auto* item = dynamic_cast<const CMarketItem*>(&parent);
    if (!item)
        return false;
    LoadCategories();

    // Names travel as XPath variables: a quote in a name must not change the selection.
    const std::map<std::string, std::string> names = {{"category", item->GetCategory()},
                                                      {"subcategory", item->GetSubcategory()}};
    if (parent.GetKind() == ITEM_GROUP) {
        auto nodes = m_index->SelectNodes("marketplace/category[@name=$category]/subcategory", names);
        if (!nodes) {
            ReportError("subcategory selection failed", "CMarketItemDataManager::ListChildItems");
            return false;
        }
        for (const CXmlNode& node : *nodes) {
            std::string name = GetElementAttributeValue(node, "name");
            children.Append(std::make_unique<CMarketItem>(ITEM_SUBGROUP, name, item->GetCategory(), name, "", ""));
        }
        return true;
    }
    auto nodes = m_index->SelectNodes(
        "marketplace/category[@name=$category]/subcategory[@name=$subcategory]/component", names);
    if (!nodes) {
        ReportError("component selection failed", "CMarketItemDataManager::ListChildItems");
        return false;
    }
    for (const CXmlNode& node : *nodes) {
        std::string id = GetElementAttributeValue(node, "id");
        std::string name = GetElementAttributeValue(node, "name");
        children.Append(std::make_unique<CMarketItem>(ITEM_LEAF, name, item->GetCategory(), item->GetSubcategory(),
                                                      name, id));
    }
    return true;
}

bool CMarketItemDataManager::GetItemURL(const CTreeItem& item, std::string& url)
{
    if (m_sessionId.empty())
        LoadSession();
    const std::string site = GetMarketplaceUrl();
    const std::string& sid = m_sessionId;
    const auto* market = dynamic_cast<const CMarketItem*>(&item);
    bool ok = true;
    switch (item.GetKind()) {
    case ITEM_BLANK:
        url = "about:blank";
        break;
    case ITEM_HOME:
        url = site + "/vantrel/markettab/home.jsp?sid=" + sid;
        break;
    case ITEM_SEARCH:
        url = site + "/vantrel/markettab/search.jsp?sid=" + sid;
        break;
    case ITEM_GROUP:
    case ITEM_SUBGROUP:
    case ITEM_LEAF:
        if (!market) {
            ok = false;
        } else if (item.GetKind() == ITEM_GROUP) {
            url = site + "/components/subcategory.jsp?framework=Java&category=" + market->GetCategory() + "&sid=" + sid;
        } else if (item.GetKind() == ITEM_SUBGROUP) {
            url = site + "/components/productlist.jsp?framework=Java&category=" + market->GetCategory() +
                  "&subcategory=" + market->GetSubcategory() + "&sid=" + sid;
        } else {
            url = site + "/components/view.jsp?prodid=" + market->GetProductId() + "&sid=" + sid;
        }
        break;
    default:
        ok = false;
        break;
    }
    DebugOutput(url + "\n");
    return ok;
}

const std::string& CMarketItemDataManager::LoadSession()
{
    if (IsOfflineMode() || !m_sessionId.empty())
        return m_sessionId;
    CHttpDownload download(m_runner);
    if (!ConfigureFromSettings(download, MarketplaceWebServer()))
        return m_sessionId;
    std::string file = GetDataDirectory() + "Market/session.txt";
    download.SetFileName(file);
    download.SetUri("/Vantrel/markettab/session.jsp?look=vantrel");
    if (download.Download(false, false)) {
        std::string text;
        if (ReadWholeFile(file, text, 64 * 1024) == CReadResult::Ok)
            m_sessionId = FirstLine(text);
        DeleteFileIfExists(file);
    }
    return m_sessionId;
}
