// The HTTP front end with handlers of the test's own that block until the test lets them
// go: a slow handler holds only its own request, a full handler pool turns requests away at
// once, Stop closes connections whose handler is still busy, and a stop that takes no new
// client first answers the requests under way.
#include "HttpFrontEnd.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "AccessLog.h"
#include "PageRenderer.h"
#include "Site.h"
#include "StyleSheetCache.h"
#include "XmlCache.h"
#include "support/TestSite.h"

using namespace std::chrono_literals;

namespace
{
// What a client got: status 0 when the connection ended without an answer.
struct CReply
{
    int status = 0;
    std::string body;
    std::string retryAfter;
};

class HttpFrontEndTest : public ::testing::Test
{
protected:
    // A front end with one I/O thread, on a free loopback port or on a socket listening already.
    void Start(int handlerThreads, int handlerQueue, int listening = -1)
    {
        std::string error;
        if (!m_frontEnd) {
            ASSERT_TRUE(m_site.Open(m_files.Root(), error)) << error;
            ASSERT_TRUE(m_log.Open("", error)) << error;
        }
        CServerOptions options;
        options.ioThreads = 1;
        options.threads = handlerThreads;
        options.handlerQueue = handlerQueue;
        m_frontEnd = std::make_unique<CHttpFrontEnd>(
            m_log, [this](CHttpResponse& response, int status, const std::string& message) {
                m_renderer.SendError(response, status, message);
            },
            options);
        m_frontEnd->Router().Get("/slow", [this](const CHttpRequest&, CHttpResponse& response) {
            m_entered.fetch_add(1);
            bool released = m_release.wait_for(10s) == std::future_status::ready;
            response.SetContent(released ? "released" : "never released", "text/plain");
        });
        m_frontEnd->Router().Get("/fast", [](const CHttpRequest&, CHttpResponse& response) {
            response.SetContent("fast", "text/plain");
        });
        ASSERT_TRUE(listening >= 0 ? m_frontEnd->Start(listening, error) : m_frontEnd->Start({"127.0.0.1", 0}, error))
            << error;
    }

    // A GET on a connection of its own, on a thread; done set when it has returned.
    std::jthread Request(const std::string& path, CReply& reply, std::atomic<bool>& done)
    {
        return std::jthread([this, path, &reply, &done] {
            httplib::Client client("127.0.0.1", m_frontEnd->Port());
            client.set_read_timeout(15, 0);
            if (auto result = client.Get(path.c_str()))
                reply = {result->status, result->body, result->get_header_value("Retry-After")};
            done = true;
        });
    }

    bool WaitFor(const std::function<bool()>& condition)
    {
        for (auto until = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < until;) {
            if (condition())
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return condition();
    }

    CTestSite m_files;
    CSite m_site;
    CXmlCache m_documents{1 << 20};
    CStyleSheetCache m_sheets;
    CPageRenderer m_renderer{m_site, m_documents, m_sheets};
    CAccessLog m_log;
    std::atomic<int> m_entered{0};
    std::promise<void> m_releaser;
    std::shared_future<void> m_release = m_releaser.get_future().share();
    std::unique_ptr<CHttpFrontEnd> m_frontEnd;
};
}  // namespace

TEST_F(HttpFrontEndTest, ASlowHandlerHoldsOnlyItsOwnRequest)
{
    Start(2, 16);
    CReply slow;
    std::atomic<bool> slowDone{false};
    std::jthread slowClient = Request("/slow", slow, slowDone);
    ASSERT_TRUE(WaitFor([&] { return m_entered == 1; }));

    // Answered while the slow handler still blocks, on the same single I/O thread.
    httplib::Client client("127.0.0.1", m_frontEnd->Port());
    client.set_read_timeout(5, 0);
    auto fast = client.Get("/fast");
    EXPECT_FALSE(slowDone);
    m_releaser.set_value();
    slowClient.join();
    ASSERT_TRUE(fast);
    EXPECT_EQ(fast->status, 200);
    EXPECT_EQ(fast->body, "fast");
    EXPECT_EQ(slow.status, 200);
    EXPECT_EQ(slow.body, "released");
}

TEST_F(HttpFrontEndTest, AFullPoolTurnsRequestsAwayAndStopClosesAtOnce)
{
    Start(1, 1);
    CReply first;
    std::atomic<bool> firstDone{false};
    std::jthread firstClient = Request("/slow", first, firstDone);
    ASSERT_TRUE(WaitFor([&] { return m_entered == 1; }));

    // One of the next two waits in the queue, the other is answered 503 at once.
    CReply second;
    CReply third;
    std::atomic<bool> secondDone{false};
    std::atomic<bool> thirdDone{false};
    std::jthread secondClient = Request("/slow", second, secondDone);
    std::jthread thirdClient = Request("/slow", third, thirdDone);
    ASSERT_TRUE(WaitFor([&] { return secondDone || thirdDone; }));
    std::this_thread::sleep_for(200ms);
    ASSERT_NE(secondDone, thirdDone);
    bool secondRefused = secondDone;
    const CReply& refused = secondRefused ? second : third;
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.retryAfter, "5");
    EXPECT_EQ(m_entered, 1);

    // Stop does not wait for the blocked handler to close its client's connection.
    std::jthread stopper([this] { m_frontEnd->Stop(); });
    EXPECT_TRUE(WaitFor([&] { return firstDone && secondDone && thirdDone; }));
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ((secondRefused ? third : second).status, 0);
    m_releaser.set_value();
    stopper.join();
    firstClient.join();
    secondClient.join();
    thirdClient.join();
    EXPECT_EQ(m_entered, 1);
}

// On a socket the test holds, as systemd holds it across a restart.
TEST_F(HttpFrontEndTest, AStopAnswersTheRequestsUnderWayAndTheNextServerTheRest)
{
    int port = 0;
    int listening = ListenLoopback(port);
    ASSERT_GE(listening, 0);
    Start(2, 16, ::dup(listening));
    EXPECT_EQ(m_frontEnd->Port(), port);
    CReply slow;
    std::atomic<bool> slowDone{false};
    std::jthread slowClient = Request("/slow", slow, slowDone);
    ASSERT_TRUE(WaitFor([&] { return m_entered == 1; }));

    m_frontEnd->StopAccepting();
    EXPECT_FALSE(m_frontEnd->WaitUntilIdle(std::chrono::steady_clock::now()));
    int waiting = ConnectLoopback(port);
    ASSERT_GE(waiting, 0);
    const std::string request = "GET /fast HTTP/1.0\r\n\r\n";
    ::send(waiting, request.data(), request.size(), MSG_NOSIGNAL);
    m_releaser.set_value();
    slowClient.join();
    EXPECT_EQ(slow.status, 200);
    EXPECT_EQ(slow.body, "released");
    EXPECT_TRUE(m_frontEnd->WaitUntilIdle(std::chrono::steady_clock::now() + 5s));
    m_frontEnd->Stop();

    Start(2, 16, ::dup(listening));
    std::string answer = ReadSome(waiting, 3000);
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK") << answer;
    EXPECT_TRUE(answer.ends_with("fast")) << answer;
    ::close(waiting);
    ::close(listening);
}
