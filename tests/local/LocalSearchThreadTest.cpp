#include "LocalSearchThread.h"

#include <gtest/gtest.h>

#include "LocalItem.h"
#include "Messages.h"
#include "MessageQueue.h"
#include "support/ItemNames.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
class LocalSearchFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Server().Get("/xql.dll/components/vendors/components.bnd",
                              [this](const httplib::Request& req, httplib::Response& res) {
                                  m_query = req.get_param_value("xslsheet") + "|" + req.get_param_value("qtarget");
                                  res.set_content(m_answer, "text/xml");
                              });
        m_server.Start();
        m_registry.Set("ComponentWebServer", "http://127.0.0.1:" + std::to_string(m_server.Port()));
        WriteFileText(m_registry.DataDir() + "/Local/components.xml",
                      "<components>"
                      "<component SCID=\"7\"><componentName>Seven</componentName></component>"
                      "<component SCID=\"3\"><componentName>Three</componentName></component>"
                      "<component SCID=\"7\"><componentName>Seven again</componentName></component>"
                      "<component SCID=\"q&quot;1\"><componentName>Quoted</componentName></component>"
                      "</components>");
    }

    std::vector<CMessage> Search(const std::string& text, CItemList& results)
    {
        CMessageQueue queue;
        CWorker<CLocalSearchThread> search(results);
        search.Setup(text, queue.GetHandle());
        EXPECT_NE(search.Start(), 0u);
        return CollectMessages(queue, WM_SEARCH_FINISHED, std::chrono::seconds(10));
    }


    CTestRegistry m_registry;
    CRecordingHttpServer m_server;
    std::string m_answer;
    std::string m_query;
};
}  // namespace

TEST_F(LocalSearchFixture, ServerMatchesRestrictedToTheLocalIndex)
{
    m_answer = "<components><component SCID=\"3\"/><component SCID=\"99\"/><component SCID=\"7\"/>"
               "<component SCID=\"q&quot;1\"/><class name=\"a.b.Reader\" SCID=\"7\"/>"
               "<class name=\"x.Gone\" SCID=\"99\"/><class name=\"c.Quote\" SCID=\"q&quot;1\"/><class name=\"Main\" SCID=\"3\"/></components>";
    CItemList results;
    std::vector<CMessage> messages = Search("pars er", results);
    EXPECT_EQ(m_query, "components:/vendors/xsl/rm/search-local.xsl|pars er");
    // Server order; 99 is not on this machine; 7 is there twice; then the classes of the
    // components here, once each.
    EXPECT_EQ(Names(results),
              (std::vector<std::string>{"Three", "Seven", "Seven again", "Quoted", "Reader (a.b)", "Quote (c)", "Main"}));
    const auto& found = static_cast<const CLocalItem&>(results.GetAt(4));
    EXPECT_EQ(found.GetKind(), ITEM_LOCAL_CLASS);
    EXPECT_EQ(found.GetQualifiedName() + " " + found.GetScid(), "a.b.Reader 7");
    const auto& first = static_cast<const CLocalItem&>(results.GetAt(0));
    EXPECT_EQ(first.GetScid(), "3");
    EXPECT_EQ(first.GetComponentName(), "Three");
    EXPECT_EQ(first.GetPrimaryCategory(), "");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, WM_SEARCH_STARTED);
    EXPECT_EQ(messages[0].lParam, 1);
    EXPECT_EQ(messages[1].message, WM_SEARCH_PROGRESS);
    EXPECT_EQ(messages[2].message, WM_SEARCH_FINISHED);
    EXPECT_EQ(messages[2].lParam, 0);
}

TEST_F(LocalSearchFixture, NothingFoundWhenTheServerOrTheIndexFails)
{
    m_answer = "<other><component SCID=\"3\"/></other>";
    CItemList results;
    Search("x", results);
    EXPECT_TRUE(results.IsEmpty());

    m_answer = "<components><component SCID=\"3\"/></components>";
    WriteFileText(m_registry.DataDir() + "/Local/components.xml", "<components>");
    EXPECT_EQ(Search("x", results).size(), 3u);
    EXPECT_TRUE(results.IsEmpty());

    m_registry.Set("ComponentWebServer", "http://127.0.0.1:1");
    EXPECT_EQ(Search("x", results).size(), 3u);
    EXPECT_TRUE(results.IsEmpty());
}
