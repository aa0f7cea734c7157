// The client's own collections, searches and CLASSPATH scan against a running vantrel-server
// (the real program, started as a process on free loopback ports).
#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <zip.h>

#include "ClassPathScanThread.h"
#include "JavaItem.h"
#include "JavaItemDataManager.h"
#include "JavaSearchThread.h"
#include "LocalItem.h"
#include "LocalItemDataManager.h"
#include "LocalSearchThread.h"
#include "MarketItem.h"
#include "MarketItemDataManager.h"
#include "MarketSearchThread.h"
#include "MessageQueue.h"
#include "Messages.h"
#include "PrefixCache.h"
#include "support/ChildProcess.h"
#include "support/HeadlessModalRunner.h"
#include "support/TestSite.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace
{
// vantrel-server as its own process; stopped with SIGTERM, which must end it cleanly.
class CServerProcess
{
public:
    explicit CServerProcess(const std::string& site)
    {
        // Its first line names the ports it listens on.
        std::string ready = m_process.StartServer({VANTREL_SERVER, "--site", site, "--http", "127.0.0.1:0", "--lookup",
                                                   "127.0.0.1:0", "--state", m_state.Path(), "--access-log",
                                                   m_state.File("access.log")},
                                                  {}, 1, "");
        std::smatch match;
        if (std::regex_search(ready, match, std::regex(R"(http://127\.0\.0\.1:(\d+), lookup server on 127\.0\.0\.1:(\d+))"))) {
            m_httpPort = std::stoi(match[1]);
            m_lookupPort = std::stoi(match[2]);
        }
    }

    // The exit status, -1 when it did not end by itself within the time.
    int Stop() { return m_process.Stop(); }

    int HttpPort() const { return m_httpPort; }
    int LookupPort() const { return m_lookupPort; }
    std::string AccessLog() const { return ReadFileText(m_state.File("access.log")); }

private:
    CTempDir m_state;
    CChildProcess m_process;
    int m_httpPort = 0;
    int m_lookupPort = 0;
};

std::vector<std::string> Names(const CItemList& list)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < list.GetCount(); ++i)
        names.push_back(list.GetAt(i).GetName());
    return names;
}

// Runs a worker to its end; true when the finish message came.
template <typename Thread>
bool RunToEnd(Thread& thread, CMessageQueue& queue, unsigned finished)
{
    if (thread.Start() == 0)
        return false;
    std::vector<CMessage> messages = CollectMessages(queue, finished, 60s);
    return !messages.empty() && messages.back().message == finished;
}

class EndToEndTest : public ::testing::Test
{
protected:
    EndToEndTest() : m_server(m_site.Root())
    {
        m_registry.UseServers("127.0.0.1:" + std::to_string(m_server.HttpPort()), m_server.LookupPort());
    }

    // Every page the client would show for these items answers with a page.
    void ExpectPagesOf(CItemDataManager& manager, const CItemList& items)
    {
        httplib::Client client("127.0.0.1", m_server.HttpPort());
        std::string prefix = "http://127.0.0.1:" + std::to_string(m_server.HttpPort());
        for (size_t i = 0; i < items.GetCount(); ++i) {
            std::string url;
            ASSERT_TRUE(manager.GetItemURL(items.GetAt(i), url)) << items.GetAt(i).GetName();
            if (url.rfind(prefix, 0) != 0)
                continue;  // a documentation root of its own, not this server's
            auto page = client.Get(url.substr(prefix.size()).c_str());
            ASSERT_TRUE(page) << url;
            EXPECT_EQ(page->status, 200) << url;
            EXPECT_NE(page->body.find("</html>"), std::string::npos) << url;
        }
    }

    CTestSite m_site;
    CServerProcess m_server;
    CTestRegistry m_registry;
    CHeadlessModalRunner m_runner;
};
}  // namespace

TEST_F(EndToEndTest, JavaCollectionAndSearches)
{
    ASSERT_GT(m_server.HttpPort(), 0);
    CJavaItemDataManager manager(m_runner);
    EXPECT_TRUE(manager.UpdateIndex());
    CItemList technologies;
    ASSERT_TRUE(manager.ListJavaTechnologies(technologies));
    EXPECT_EQ(Names(technologies), (std::vector<std::string>{"Core Test", "Extra Test"}));

    CItemList packages;
    ASSERT_TRUE(manager.ListChildItems(technologies.GetAt(0), packages));
    EXPECT_EQ(Names(packages), (std::vector<std::string>{"org.sample", "org.sample.util"}));
    CItemList classes;
    ASSERT_TRUE(manager.ListChildItems(packages.GetAt(0), classes));
    EXPECT_EQ(Names(classes), (std::vector<std::string>{"Gadget", "Widget", "Widget.Part"}));
    ExpectPagesOf(manager, technologies);
    ExpectPagesOf(manager, packages);
    ExpectPagesOf(manager, classes);

    struct Case
    {
        std::string package, cls, method;
        int kind;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"sample", "", "", 0, {"org.sample (Core Test)", "org.sample.util (Core Test)"}},
        {"", "Widget", "", 1, {"org.extra.Widget (Extra Test)", "org.sample.Widget (Core Test)", "org.sample.Widget.Part (Core Test)"}},
        // Two overloads give one entry: the results are de-duplicated by name.
        {"", "", "resize", 2, {"org.sample.util.Strings (Core Test)", "org.sample.Widget (Core Test)"}},
        {"", "Widget", "", 3, {"org.sample.Gadget (Core Test)"}},
        {"", "Runnable", "", 4, {"org.extra.Widget (Extra Test)", "org.sample.Gadget (Core Test)"}},
        {"org.sample", "Widget", "", 5, {"org.sample.Widget (Core Test)"}},
        {"org.sample", "Widget", "resize", 6, {"org.sample.Widget (Core Test)"}},
    };
    for (const auto& c : cases) {
        CItemList results;
        CMessageQueue queue;
        CWorker<CJavaSearchThread> search(manager, results);
        search.Setup(c.package, c.cls, c.method, c.kind, queue.GetHandle());
        ASSERT_TRUE(RunToEnd(search, queue, WM_SEARCH_FINISHED)) << c.kind;
        search.Shutdown();
        EXPECT_EQ(Names(results), c.names) << "kind " << c.kind;
        ExpectPagesOf(manager, results);
    }
}

TEST_F(EndToEndTest, MarketplaceCollectionAndSearch)
{
    ASSERT_GT(m_server.HttpPort(), 0);
    CMarketItemDataManager manager(m_runner);
    EXPECT_EQ(manager.LoadSession().size(), 32u);
    EXPECT_TRUE(manager.UpdateIndex());
    CItemList categories;
    ASSERT_TRUE(manager.ListMarketCategories(categories));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"Data Formats", "Logging", "Utilities"}));
    CItemList subcategories;
    ASSERT_TRUE(manager.ListChildItems(categories.GetAt(0), subcategories));
    EXPECT_EQ(Names(subcategories), (std::vector<std::string>{"Parsing"}));
    CItemList products;
    ASSERT_TRUE(manager.ListChildItems(subcategories.GetAt(0), products));
    EXPECT_EQ(Names(products), (std::vector<std::string>{"Acme Parsers", "Acme Parsers Extras"}));
    ExpectPagesOf(manager, categories);
    ExpectPagesOf(manager, subcategories);
    ExpectPagesOf(manager, products);

    CItemList results;
    CMessageQueue queue;
    CWorker<CMarketSearchThread> search(results);
    search.Setup("logging", manager.LoadSession(), queue.GetHandle());
    ASSERT_TRUE(RunToEnd(search, queue, WM_SEARCH_FINISHED));
    search.Shutdown();
    EXPECT_EQ(Names(results), (std::vector<std::string>{"Beta Logging"}));
    ExpectPagesOf(manager, results);
}

TEST_F(EndToEndTest, ClassPathScanThenLocalCollectionAndSearch)
{
    ASSERT_GT(m_server.LookupPort(), 0);
    CTempDir jars;
    std::string jar = jars.File("app.jar");
    int error = 0;
    zip_t* zip = zip_open(jar.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const char* entry : {"META-INF/MANIFEST.MF", "com/acme/parse/Csv.class", "com/acme/parse/Csv$Row.class",
                              "org/beta/log/Log.class", "org/unknown/Thing.class"})
        zip_file_add(zip, entry, zip_source_buffer(zip, "\xCA\xFE\xBA\xBE", 4, 0), ZIP_FL_OVERWRITE);
    zip_close(zip);

    CPrefixCache cache;
    CWorker<CClassPathScanThread> scan(cache);
    CMessageQueue queue;
    scan.SetClassPath(jar);
    scan.SetDirectMode(true);
    scan.SetTargetWindow(queue.GetHandle());
    ASSERT_TRUE(RunToEnd(scan, queue, WM_SCAN_FINISHED));
    scan.Shutdown();
    EXPECT_EQ(scan.GetResults(),
              (std::vector<std::string>{"1000001", "1000003", "1000001", "1000003", "1000002"}));
    EXPECT_NE(m_server.AccessLog().find("LOOKUP GETSCID com.acme.parse.Csv"), std::string::npos);

    CScriptedPrompt prompt;
    CLocalItemDataManager manager(m_runner, prompt);
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_TRUE(prompt.Shown().empty());  // the index exists, so no scan is offered
    CItemList categories;
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"Data Formats", "Logging", "Utilities"}));
    CItemList subcategories;
    ASSERT_TRUE(manager.ListChildItems(categories.GetAt(0), subcategories));
    EXPECT_EQ(Names(subcategories), (std::vector<std::string>{"Parsing"}));
    CItemList components;
    ASSERT_TRUE(manager.ListChildItems(subcategories.GetAt(0), components));
    EXPECT_EQ(Names(components), (std::vector<std::string>{"Acme Parsers", "Acme Parsers Extras"}));
    ExpectPagesOf(manager, categories);
    ExpectPagesOf(manager, subcategories);
    ExpectPagesOf(manager, components);

    CItemList results;
    CMessageQueue searchQueue;
    CWorker<CLocalSearchThread> search(results);
    search.Setup("acme", searchQueue.GetHandle());
    ASSERT_TRUE(RunToEnd(search, searchQueue, WM_SEARCH_FINISHED));
    search.Shutdown();
    // The server's matches, each as often as the local index holds it.
    EXPECT_EQ(Names(results), (std::vector<std::string>{"Acme Parsers", "Acme Parsers", "Acme Parsers Extras",
                                                        "Acme Parsers Extras"}));
    ExpectPagesOf(manager, results);
}

TEST_F(EndToEndTest, ServerEndsCleanlyOnSigterm)
{
    ASSERT_GT(m_server.HttpPort(), 0);
    httplib::Client client("127.0.0.1", m_server.HttpPort());
    auto home = client.Get("/vantrel/javatab/home.jsp");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->status, 200);
    // A lookup client that never reads its answers and an HTTP client in the middle of its
    // head do not hold the server up.
    int stuck = ConnectLoopback(m_server.LookupPort());
    ::fcntl(stuck, F_SETFL, O_NONBLOCK);
    std::string requests;
    for (int k = 0; k < 2000; ++k)
        requests += "GETSCID com.acme.parse.Csv\n";
    for (int k = 0; k < 20; ++k)
        ::send(stuck, requests.data(), requests.size(), MSG_NOSIGNAL);
    int halfway = ConnectLoopback(m_server.HttpPort());
    ::send(halfway, "GET / HTTP/1.1\r\n", 16, MSG_NOSIGNAL);
    std::this_thread::sleep_for(200ms);
    auto stopping = std::chrono::steady_clock::now();
    EXPECT_EQ(m_server.Stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
    ::close(stuck);
    ::close(halfway);
    EXPECT_NE(m_server.AccessLog().find("\"GET /vantrel/javatab/home.jsp HTTP/1.1\" 200"), std::string::npos);
}
