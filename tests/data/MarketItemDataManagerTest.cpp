#include "MarketItemDataManager.h"

#include <atomic>
#include <filesystem>

#include <gtest/gtest.h>

#include "MarketItem.h"
#include "support/HeadlessModalRunner.h"
#include "support/ItemNames.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
const char* const kIndex = R"(<?xml version="1.0"?>
<marketplace>
  <category name="Zeta">
    <subcategory name="Charts">
      <component id="101" name="ChartKit"/>
      <component id="102" name="PlotPro"/>
    </subcategory>
    <subcategory name="Grids"/>
  </category>
  <category name="Alpha">
    <subcategory name="Parsers"/>
  </category>
  <category name="Zeta">
    <subcategory name="Other Zeta"/>
  </category>
  <category name="Say &quot;Hi&quot;">
    <subcategory name="Greeters &quot;1&quot;">
      <component id="7" name="Hello"/>
    </subcategory>
  </category>
</marketplace>)";

class MarketFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/Vantrel/markettab/session.jsp", [this](const httplib::Request&, httplib::Response& res) {
            if (m_sessionFails) {
                res.status = 500;
                return;
            }
            res.set_content("S123\r\nsecond line\r\n", "text/plain");  // CR LF lines keep no CR
        });
        m_server.Server().Get("/vantrel/markettab/indexfile.jsp", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("Last-Modified", "Wed, 01 Jul 2026 08:00:00 GMT");
            res.set_content(kIndex, "text/xml");
        });
        m_server.Start();
        std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
        m_registry.Set("MarketplaceWebServer", host);
        m_registry.Set("MarketplaceUrl", "http://" + host);
    }

    std::string Site() const { return "http://127.0.0.1:" + std::to_string(m_server.Port()); }
    int Count(const std::string& path) const
    {
        int n = 0;
        for (const CRecordedRequest& request : m_server.Requests())
            n += request.path == path;
        return n;
    }


    CTestRegistry m_registry;
    CRecordingHttpServer m_server;
    CHeadlessModalRunner m_runner;
    std::atomic<bool> m_sessionFails{false};
};
}  // namespace

TEST_F(MarketFixture, ListsTheIndexInDocumentOrder)
{
    CMarketItemDataManager manager(m_runner);
    ASSERT_TRUE(manager.UpdateIndex());
    EXPECT_EQ(ReadFileText(m_registry.DataDir() + "/Market/index.xml_new_ts"), "Wed, 01 Jul 2026 08:00:00 GMT");
    CItemList categories;
    ASSERT_TRUE(manager.ListMarketCategories(categories));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"Zeta", "Alpha", "Zeta", "Say \"Hi\""}));

    CItemList subcategories;
    ASSERT_TRUE(manager.ListChildItems(categories.GetAt(0), subcategories));
    // Both categories named Zeta give their subcategories, in document order.
    EXPECT_EQ(Names(subcategories), (std::vector<std::string>{"Charts", "Grids", "Other Zeta"}));
    ASSERT_TRUE(manager.ListChildItems(categories.GetAt(1), subcategories));
    EXPECT_EQ(Names(subcategories), (std::vector<std::string>{"Parsers"}));

    ASSERT_TRUE(manager.ListChildItems(categories.GetAt(3), subcategories));
    ASSERT_EQ(Names(subcategories), (std::vector<std::string>{"Greeters \"1\""}));
    CItemList products;
    ASSERT_TRUE(manager.ListChildItems(subcategories.GetAt(0), products));
    ASSERT_EQ(Names(products), (std::vector<std::string>{"Hello"}));
    const auto& hello = static_cast<const CMarketItem&>(products.GetAt(0));
    EXPECT_EQ(hello.GetCategory(), "Say \"Hi\"");
    EXPECT_EQ(hello.GetSubcategory(), "Greeters \"1\"");
    EXPECT_EQ(hello.GetProductId(), "7");
    EXPECT_FALSE(hello.HasChildren());

    // Leaves, blanks and the search node have no children; Home and unknown kinds fail.
    for (int kind : {0, 2, 5})
        EXPECT_TRUE(manager.ListChildItems(CMarketItem(kind, "x", "Zeta", "Charts", "", ""), products)) << kind;
    EXPECT_TRUE(products.IsEmpty());
    for (int kind : {1, 6, -1})
        EXPECT_FALSE(manager.ListChildItems(CMarketItem(kind, "x", "Zeta", "", "", ""), products)) << kind;
}

TEST_F(MarketFixture, UrlsCarryTheSessionId)
{
    CMarketItemDataManager manager(m_runner);
    EXPECT_EQ(manager.LoadSession(), "S123");
    EXPECT_EQ(Count("/Vantrel/markettab/session.jsp"), 1);
    EXPECT_FALSE(std::filesystem::exists(m_registry.DataDir() + "/Market/session.txt"));

    const std::string site = Site();
    struct
    {
        CMarketItem item;
        std::string url;
    } const cases[] = {
        {{0, "b", "", "", "", ""}, "about:blank"},
        {{1, "Home", "", "", "", ""}, site + "/vantrel/markettab/home.jsp?sid=S123"},
        {{2, "Search Results", "", "", "", ""}, site + "/vantrel/markettab/search.jsp?sid=S123"},
        {{3, "Zeta", "Zeta", "", "", ""}, site + "/components/subcategory.jsp?framework=Java&category=Zeta&sid=S123"},
        {{4, "Charts", "Zeta", "Charts", "", ""},
         site + "/components/productlist.jsp?framework=Java&category=Zeta&subcategory=Charts&sid=S123"},
        {{5, "ChartKit", "Zeta", "Charts", "ChartKit", "101"}, site + "/components/view.jsp?prodid=101&sid=S123"},
        {{5, "Found", "", "", "Found", "55"}, site + "/components/view.jsp?prodid=55&sid=S123"},
    };
    for (const auto& c : cases) {
        std::string url;
        EXPECT_TRUE(manager.GetItemURL(c.item, url)) << c.url;
        EXPECT_EQ(url, c.url);
    }
    std::string url = "unchanged";
    EXPECT_FALSE(manager.GetItemURL(CMarketItem(9, "x", "", "", "", ""), url));
    EXPECT_EQ(url, "unchanged");
    EXPECT_EQ(Count("/Vantrel/markettab/session.jsp"), 1);  // kept once obtained
}

TEST_F(MarketFixture, FailedSessionIsRetriedByTheNextUrl)
{
    m_sessionFails = true;
    CMarketItemDataManager manager(m_runner);
    std::string url;
    ASSERT_TRUE(manager.GetItemURL(CTreeItem(ITEM_HOME, "Home"), url));
    EXPECT_EQ(url, Site() + "/vantrel/markettab/home.jsp?sid=");
    EXPECT_EQ(Count("/Vantrel/markettab/session.jsp"), 2);
    m_sessionFails = false;
    ASSERT_TRUE(manager.GetItemURL(CTreeItem(ITEM_HOME, "Home"), url));
    EXPECT_EQ(url, Site() + "/vantrel/markettab/home.jsp?sid=S123");
    EXPECT_EQ(Count("/Vantrel/markettab/session.jsp"), 3);
}

TEST_F(MarketFixture, OfflineModeSendsNothing)
{
    m_registry.Set("OfflineMode", "1");
    WriteFileText(m_registry.DataDir() + "/Market/index.xml", kIndex);
    CMarketItemDataManager manager(m_runner);
    EXPECT_TRUE(manager.UpdateIndex());
    std::string url;
    ASSERT_TRUE(manager.GetItemURL(CTreeItem(ITEM_HOME, "Home"), url));
    EXPECT_EQ(url, Site() + "/vantrel/markettab/home.jsp?sid=");
    CItemList categories;
    EXPECT_TRUE(manager.ListMarketCategories(categories));  // from the copy on disk
    EXPECT_EQ(categories.GetCount(), 4u);
    EXPECT_EQ(m_server.Requests().size(), 0u);
}

TEST_F(MarketFixture, EveryRefreshDownloadsAndAFailedOneKeepsTheIndex)
{
    CMarketItemDataManager manager(m_runner);
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_EQ(Count("/vantrel/markettab/indexfile.jsp"), 2);
    const std::string index = m_registry.DataDir() + "/Market/index.xml";
    EXPECT_EQ(ReadFileText(index), kIndex);

    m_registry.Set("MarketplaceWebServer", "127.0.0.1:1");  // nobody listens there
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_EQ(ReadFileText(index), kIndex);
    EXPECT_FALSE(std::filesystem::exists(index + "_new"));
}

TEST_F(MarketFixture, MissingOrBrokenIndexLeavesTheRootEmpty)
{
    m_registry.Set("OfflineMode", "1");
    WriteFileText(m_registry.DataDir() + "/Market/index.xml", "<marketplace><category name=\"x\">");
    CMarketItemDataManager manager(m_runner);
    CItemList categories;
    EXPECT_FALSE(manager.ListMarketCategories(categories));
    EXPECT_TRUE(manager.ListMarketCategories(categories));  // the document exists from now on
    EXPECT_TRUE(categories.IsEmpty());
}
