#include "SearchThread.h"

#include <thread>

#include <gtest/gtest.h>

#include "MessageQueue.h"
#include "Messages.h"
#include "support/Environment.h"

using namespace std::chrono_literals;

namespace
{
// Posts the three messages in one run and stops.
class CProbeSearch : public CSearchThread
{
public:
    using CSearchThread::CSearchThread;
    using CSearchThread::GetChildElementValue;
    using CSearchThread::GetElementAttributeValue;

protected:
    void StartWork() override
    {
        Results().Clear();
        PostSearchStarted(1);
    }
    void DoWork() override
    {
        Results().Append(std::make_unique<CTreeItem>(ITEM_LEAF, GetSearchText()));
        SetStatus(7);
        PostSearchProgress();
        SetStopFlag();
    }
    void EndWork() override { PostSearchFinished(); }
};
}  // namespace

TEST(SearchThread, PostsToItsTargetWithItsThreadId)
{
    CItemList results;
    results.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "old"));
    CMessageQueue queue;
    CWorker<CProbeSearch> search(results);
    search.SetTargetWindow(queue.GetHandle());
    search.SetSearchText("needle");
    std::uint32_t id = search.Start();
    ASSERT_NE(id, 0u);
    const std::pair<unsigned, LPARAM> expected[] = {
        {WM_SEARCH_STARTED, 1}, {WM_SEARCH_PROGRESS, 7}, {WM_SEARCH_FINISHED, 7}};
    for (const auto& [message, lParam] : expected) {
        CMessage got;
        ASSERT_TRUE(queue.GetMessage(got, 10s));
        EXPECT_EQ(got.message, message);
        EXPECT_EQ(got.wParam, id);
        EXPECT_EQ(got.lParam, lParam);
    }
    search.Shutdown();
    ASSERT_EQ(results.GetCount(), 1u);
    EXPECT_EQ(results.GetAt(0).GetName(), "needle");
}

TEST(SearchThread, AGoneTargetGetsNothingAndTheSearchStillEnds)
{
    CItemList results;
    CWorker<CProbeSearch> search(results);
    {
        CMessageQueue queue;
        search.SetTargetWindow(queue.GetHandle());
    }
    ASSERT_NE(search.Start(), 0u);
    for (int i = 0; i < 1000 && search.IsRunning(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(search.IsRunning());
    search.Shutdown();
    EXPECT_EQ(results.GetCount(), 1u);
}

TEST(SearchThread, XmlAccessReportsAsTheSearches)
{
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadXml("<c id=\"5\"><name>Vector</name><e><x/></e></c>"));
    CXmlNode root = doc.GetDocumentElement();
    CScopedEnvironment debug("CORVANE_DEBUG", "1");
    testing::internal::CaptureStderr();
    EXPECT_EQ(CProbeSearch::GetElementAttributeValue(root, "id"), "5");
    EXPECT_EQ(CProbeSearch::GetElementAttributeValue(root, "missing"), "");
    EXPECT_EQ(CProbeSearch::GetChildElementValue(root, "name"), "Vector");
    EXPECT_EQ(CProbeSearch::GetChildElementValue(root, "e"), "");
    std::string reported = testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("CMarketSearchThread::GetElementAttributeValue"), std::string::npos) << reported;
    EXPECT_NE(reported.find("CMarketSearchThread::GetChildElementValue"), std::string::npos) << reported;
}
