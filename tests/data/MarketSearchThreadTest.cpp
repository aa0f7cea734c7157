#include "MarketSearchThread.h"

#include <gtest/gtest.h>

#include "MarketItem.h"
#include "Messages.h"
#include "MessageQueue.h"
#include "support/HeadlessModalRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
class MarketSearchFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/components/xmlsearchresults.jsp", [this](const httplib::Request& req,
                                                                          httplib::Response& res) {
            m_query = req.get_param_value("lparam") + "|" + req.get_param_value("sid");
            res.set_content(m_answer, "text/xml");
        });
        m_server.Start();
        m_registry.Set("MarketplaceUrl", "http://127.0.0.1:" + std::to_string(m_server.Port()));
    }

    // Runs one search to its end and collects the messages it posted.
    std::vector<CMessage> Search(const std::string& text, CItemList& results)
    {
        CMessageQueue queue;
        std::vector<CMessage> messages;
        {
            CWorker<CMarketSearchThread> search(results);
            search.Setup(text, "S9", queue.GetHandle());
            EXPECT_NE(search.Start(), 0u);
            messages = CollectMessages(queue, WM_SEARCH_FINISHED, std::chrono::seconds(10));
            for (const CMessage& message : messages)
                EXPECT_EQ(message.wParam, search.GetThreadId());
        }
        return messages;
    }

    CTestRegistry m_registry;
    CRecordingHttpServer m_server;
    std::string m_answer;
    std::string m_query;
};
}  // namespace

TEST_F(MarketSearchFixture, ResultsKeepTheServersOrder)
{
    m_answer = R"(<marketsearch><component id="3" name="Zed"/><component id="1" name="Alpha"/>)"
               R"(<component id="3" name="Zed"/><other id="9" name="no"/></marketsearch>)";
    CItemList results;
    std::vector<CMessage> messages = Search("grid", results);
    EXPECT_EQ(m_query, "grid|S9");
    ASSERT_EQ(results.GetCount(), 3u);
    EXPECT_EQ(results.GetAt(0).GetName(), "Zed");
    EXPECT_EQ(results.GetAt(1).GetName(), "Alpha");
    EXPECT_EQ(results.GetAt(2).GetName(), "Zed");
    const auto& first = static_cast<const CMarketItem&>(results.GetAt(0));
    EXPECT_EQ(first.GetKind(), ITEM_LEAF);
    EXPECT_EQ(first.GetProductId(), "3");
    EXPECT_EQ(first.GetCategory(), "");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].lParam, 0);
}

TEST_F(MarketSearchFixture, EmptyOrBrokenAnswersGiveNoResults)
{
    for (const char* answer : {"<marketsearch/>", "<other><component id=\"1\" name=\"x\"/></other>", "<broken"}) {
        m_answer = answer;
        CItemList results;
        results.Append(std::make_unique<CMarketItem>(ITEM_LEAF, "stale", "", "", "", ""));
        std::vector<CMessage> messages = Search("none", results);
        EXPECT_TRUE(results.IsEmpty()) << answer;
        ASSERT_EQ(messages.size(), 3u) << answer;
        EXPECT_EQ(messages[0].message, WM_SEARCH_STARTED);
        EXPECT_EQ(messages[0].lParam, 1);
        EXPECT_EQ(messages[1].message, WM_SEARCH_PROGRESS);
        EXPECT_EQ(messages[2].message, WM_SEARCH_FINISHED);
    }
}
