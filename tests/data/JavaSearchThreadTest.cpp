#include "JavaSearchThread.h"

#include <filesystem>
#include <future>
#include <utility>

#include <gtest/gtest.h>

#include "JavaItem.h"
#include "JavaItemDataManager.h"
#include "JavaTestServer.h"
#include "MessageQueue.h"
#include "Messages.h"
#include "support/HeadlessModalRunner.h"
#include "support/ItemNames.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace
{
const char* const kIndex = R"(<javatab>
  <technology name="beta" display="Beta" docroot="http://docs/beta/"/>
  <technology name="hidden" display="Hidden" docroot=""/>
  <technology name="alpha" display="Alpha" docroot=""/>
</javatab>)";

const char* const kPreferences = R"(<preferences><javatab><display>
  <technology name="hidden" show="0"/><technology name="alpha" show="1"/>
</display></javatab></preferences>)";

const char* const kAlphaClasses = R"(<results>
  <class><packageName>java.util</packageName><className>Vector</className></class>
  <class><packageName>java.util</packageName><className>Vector</className></class>
  <class><className>Orphan</className></class>
</results>)";

const char* const kBetaClasses = R"(<results>
  <class><packageName>java.util</packageName><className>Vector</className></class>
  <class><packageName>a.b</packageName><className>Zed</className></class>
</results>)";

using CPosted = std::pair<unsigned, LPARAM>;


const CJavaItem& JavaAt(const CItemList& list, size_t index)
{
    return dynamic_cast<const CJavaItem&>(list.GetAt(index));
}
}  // namespace

class JavaSearchThread : public ::testing::Test
{
protected:
    JavaSearchThread()
    {
        m_registry.Set("ComponentWebServer", m_server.BaseUrl());
        WriteFileText(Data("Java/index.xml"), kIndex);
        WriteFileText(Data("preferences.xml"), kPreferences);
    }

    std::string Data(const std::string& name) const { return m_registry.DataDir() + "/" + name; }

    // Runs one search to its end; every message must carry the thread's id.
    std::vector<CPosted> Search(const std::string& package, const std::string& className, const std::string& method,
                                std::int32_t kind)
    {
        CMessageQueue queue;
        CWorker<CJavaSearchThread> thread(m_manager, m_results);
        thread.Setup(package, className, method, kind, queue.GetHandle());
        std::uint32_t id = thread.Start();
        EXPECT_NE(id, 0u);
        std::vector<CPosted> posted;
        for (const CMessage& message : CollectMessages(queue, WM_SEARCH_FINISHED, 20s)) {
            EXPECT_EQ(message.wParam, id);
            posted.emplace_back(message.message, message.lParam);
        }
        return posted;
    }

    static std::string Request(const std::string& technology, const std::string& query)
    {
        return "/xql.dll/vantrel/java/data/" + technology + "/" + query;
    }

    CTestRegistry m_registry;
    CJavaTestServer m_server;
    CHeadlessModalRunner m_runner;
    CJavaItemDataManager m_manager{m_runner};
    CItemList m_results;
};

TEST_F(JavaSearchThread, ClassSearchAsksEveryShownTechnologyAndMergesTheAnswers)
{
    m_server.Serve(Request("alpha", "index.bnd"), kAlphaClasses);
    m_server.Serve(Request("beta", "index.bnd"), kBetaClasses);
    m_results.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "from an earlier search"));

    std::vector<CPosted> posted = Search("", "Vector", "", 1);

    const std::string query = "index.bnd?xslsheet=vantrel:/java/xsl/search-class.xsl"
                              "&qtarget=Vector&packagename=&classname=Vector&methodname=";
    EXPECT_EQ(m_server.GetTargets(), (std::vector<std::string>{Request("alpha", query), Request("beta", query)}));
    EXPECT_EQ(posted, (std::vector<CPosted>{{WM_SEARCH_STARTED, 2},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_FINISHED, 0}}));
    // Sorted, the duplicate within Alpha gone, the same class of two technologies kept twice.
    EXPECT_EQ(Names(m_results), (std::vector<std::string>{".Orphan (Alpha)", "a.b.Zed (Beta)",
                                                          "java.util.Vector (Alpha)", "java.util.Vector (Beta)"}));
    const CJavaItem& vector = JavaAt(m_results, 3);
    EXPECT_EQ(vector.GetKind(), ITEM_LEAF);
    EXPECT_EQ(vector.GetTechnology(), "beta");
    EXPECT_EQ(vector.GetDocRoot(), "http://docs/beta/");
    EXPECT_EQ(vector.GetPackage(), "java.util");
    EXPECT_EQ(vector.GetClass(), "Vector");
    EXPECT_EQ(vector.GetMember(), "");
}

TEST_F(JavaSearchThread, RequestsByKind)
{
    const struct
    {
        std::int32_t kind;
        const char* query;
    } cases[] = {
        {0, "index.bnd?xslsheet=vantrel:/java/xsl/search-package.xsl&qtarget=java.u&packagename=java.u"
            "&classname=Map&methodname=put"},
        {2, "index.bnd?xslsheet=vantrel:/java/xsl/search-method.xsl&qtarget=put&packagename=java.u"
            "&classname=Map&methodname=put"},
        {3, "index.bnd?xslsheet=vantrel:/java/xsl/search-descendent.xsl&qtarget=Map&packagename=java.u"
            "&classname=Map&methodname=put"},
        {4, "index.bnd?xslsheet=vantrel:/java/xsl/search-interface.xsl&qtarget=Map&packagename=java.u"
            "&classname=Map&methodname=put"},
        {5, "java.u.xml?xslsheet=vantrel:/java/xsl/search-package-class.xsl&qtarget=&packagename=java.u"
            "&classname=Map&methodname=put"},
        {6, "java.u.xml?xslsheet=vantrel:/java/xsl/search-package-class-method.xsl&qtarget=&packagename=java.u"
            "&classname=Map&methodname=put"},
    };
    for (const auto& c : cases) {
        m_server.ClearRequests();
        // Nothing is served: each technology fails on its own and the search goes on.
        std::vector<CPosted> posted = Search("java.u", "Map", "put", c.kind);
        EXPECT_EQ(m_server.GetTargets(), (std::vector<std::string>{Request("alpha", c.query), Request("beta", c.query)}))
            << c.kind;
        EXPECT_EQ(posted.back(), CPosted(WM_SEARCH_FINISHED, 0));
        EXPECT_TRUE(m_results.IsEmpty());
    }
}

TEST_F(JavaSearchThread, PackageAndMethodResults)
{
    m_server.Serve(Request("alpha", "index.bnd"),
                   "<r><package><packageName>java.util</packageName></package>"
                   "<package><packageName>java.io</packageName></package></r>");
    Search("java", "", "", 0);
    EXPECT_EQ(Names(m_results), (std::vector<std::string>{"java.io (Alpha)", "java.util (Alpha)"}));
    EXPECT_EQ(JavaAt(m_results, 1).GetKind(), ITEM_SUBGROUP);
    EXPECT_EQ(JavaAt(m_results, 1).GetPackage(), "java.util");
    EXPECT_TRUE(JavaAt(m_results, 1).HasChildren());

    m_server.Serve(Request("beta", "index.bnd"),
                   "<r><class><packageName>java.lang</packageName><className>String</className>"
                   "<method><methodName>substring</methodName><signature>(int, int)</signature></method>"
                   "<method><methodName>other</methodName><signature>()</signature></method></class>"
                   "<class><packageName>java.lang</packageName><className>Object</className></class></r>");
    m_server.Serve(Request("alpha", "index.bnd"), "<r/>");
    Search("", "", "substring", 2);
    ASSERT_EQ(Names(m_results), (std::vector<std::string>{"java.lang.Object (Beta)", "java.lang.String (Beta)"}));
    EXPECT_EQ(JavaAt(m_results, 0).GetMember(), "");
    const CJavaItem& method = JavaAt(m_results, 1);
    EXPECT_EQ(method.GetMember(), "substring(int, int)");
    std::string url;
    ASSERT_TRUE(m_manager.GetItemURL(method, url));
    EXPECT_EQ(url, "http://docs/beta/java/lang/String.html#substring(int,+int)");
}

TEST_F(JavaSearchThread, AnUnknownKindAsksNothing)
{
    m_results.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "old"));
    for (std::int32_t kind : {7, -1}) {
        std::vector<CPosted> posted = Search("", "Vector", "", kind);
        EXPECT_EQ(posted, (std::vector<CPosted>{{WM_SEARCH_STARTED, 0},
                                                {WM_SEARCH_PROGRESS, 1},
                                                {WM_SEARCH_FINISHED, 1}}));
        EXPECT_TRUE(m_results.IsEmpty());
    }
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(JavaSearchThread, NoTechnologiesFinishesAtOnce)
{
    std::filesystem::remove(Data("Java/index.xml"));
    std::vector<CPosted> posted = Search("", "Vector", "", 1);
    EXPECT_EQ(posted, (std::vector<CPosted>{{WM_SEARCH_STARTED, 0},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_FINISHED, 0}}));
}

TEST_F(JavaSearchThread, CancellingInTheThirdOfFiveStopsAfterIt)
{
    std::string index = "<javatab>";
    for (char t = '1'; t <= '5'; ++t) {
        std::string id = std::string("t") + t;
        index += "<technology name=\"" + id + "\" display=\"" + id + "\" docroot=\"\"/>";
        m_server.Serve(Request(id, "index.bnd"),
                       "<r><class><packageName>p</packageName><className>C" + std::string(1, t) +
                           "</className></class></r>");
    }
    WriteFileText(Data("Java/index.xml"), index + "</javatab>");
    m_server.HoldRequest(3);

    CMessageQueue queue;
    CWorker<CJavaSearchThread> thread(m_manager, m_results);
    thread.Setup("", "C", "", 1, queue.GetHandle());
    ASSERT_NE(thread.Start(), 0u);
    ASSERT_TRUE(m_server.WaitForHeldRequest());
    thread.Stop();
    m_server.Release();

    std::vector<CPosted> posted;
    for (const CMessage& message : CollectMessages(queue, WM_SEARCH_FINISHED, 20s))
        posted.emplace_back(message.message, message.lParam);
    EXPECT_EQ(posted, (std::vector<CPosted>{{WM_SEARCH_STARTED, 5},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_PROGRESS, 0},
                                            {WM_SEARCH_PROGRESS, -1},
                                            {WM_SEARCH_FINISHED, -1}}));
    EXPECT_EQ(m_server.Requests().size(), 3u);
    EXPECT_EQ(Names(m_results), (std::vector<std::string>{"p.C1 (t1)", "p.C2 (t2)", "p.C3 (t3)"}));
}

TEST_F(JavaSearchThread, DestroyingAStartedSearchWaitsForEndWork)
{
    m_server.Serve(Request("alpha", "index.bnd"), kAlphaClasses);
    m_server.HoldRequest(1);
    CMessageQueue queue;
    auto thread = std::make_unique<CWorker<CJavaSearchThread>>(m_manager, m_results);
    thread->Setup("", "Vector", "", 1, queue.GetHandle());
    ASSERT_NE(thread->Start(), 0u);
    ASSERT_TRUE(m_server.WaitForHeldRequest());
    std::thread releaser([this] {
        std::this_thread::sleep_for(50ms);
        m_server.Release();
    });
    thread.reset();
    releaser.join();

    // EndWork had posted its message before the destructor returned.
    std::vector<unsigned> messages;
    CMessage message;
    while (queue.GetMessage(message, 0ms))
        messages.push_back(message.message);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), WM_SEARCH_FINISHED);
    EXPECT_EQ(m_server.Requests().size(), 1u);
}

TEST_F(JavaSearchThread, DestroyingAnUnstartedSearchDoesNotBlock)
{
    auto destroyed = std::async(std::launch::async, [this] {
        CWorker<CJavaSearchThread> thread(m_manager, m_results);
        thread.Setup("", "Vector", "", 1, 0);
    });
    EXPECT_EQ(destroyed.wait_for(5s), std::future_status::ready);
}
