#include "ScanPipeline.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DirectMatcher.h"
#include "RelocatedMatcher.h"
#include "ScanUnit.h"
#include "VersionMatcher.h"
#include "ScriptedLookupServer.h"

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace
{
// Units built in the test, matched against a scripted lookup server.
class ScanMatchersTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_connection.SetTimeLimit(2s);
        ASSERT_TRUE(m_connection.Connect("127.0.0.1", m_server.Port()));
        for (const auto& [name, scid] : {std::pair{"com.acme.A", "7"}, {"com.acme.B", "7"}, {"org.w.C", "8"},
                                         {"org.w.D", "8"}}) {
            for (const char* prefix : {"com.", "com.acme.", "org.", "org.w."})
                m_server.Count({prefix}, 1);
            m_server.Answer("GETSCID " + std::string(name), "200 " + std::string(scid) + "\n201\n");
        }
    }

    // What the matchers found in unit, as "SCID path match classes", component by component.
    Strings Match(const std::vector<IMatcher*>& matchers, const CScanUnit& unit, bool expected = true)
    {
        CScanResults results;
        for (IMatcher* matcher : matchers)
            EXPECT_EQ(matcher->Match(unit, m_lookup, results), expected) << unit.GetPath();
        Strings finds;
        for (const CFoundComponent& component : results.GetLocationComponents())
            for (const CFind& find : component.finds)
                finds.push_back(component.scid + " " + find.path + " " + MatchName(find.match) + " " +
                                std::to_string(find.classes));
        return finds;
    }

    CScriptedLookupServer m_server;
    CPrefixCache m_cache;
    CLookupConnection m_connection{m_cache};
    CLookupService m_lookup{m_connection, nullptr};
    CDirectMatcher m_direct;
    CRelocatedMatcher m_relocated;
};
}  // namespace

TEST_F(ScanMatchersTest, EachMatcherAddsWhatItFinds)
{
    const struct
    {
        IMatcher* matcher;
        CScanUnit unit;
        Strings finds;
    } cases[] = {
        {&m_direct, {"a.jar", false, {"com.acme.A", "org.w.C", "com.acme.A", "com.acme.B", "x.Unknown"}},
         {"7 a.jar direct 2", "8 a.jar direct 1"}},
        {&m_direct, {"o.war!/in.jar", true, {"org.w.C"}}, {"8 o.war!/in.jar nested 1"}},
        {&m_direct, {"shaded.jar", false, {"shaded.com.acme.A"}}, {}},
        // Most names under the cut prefix agree: a shaded copy.
        {&m_relocated, {"u.jar", false, {"shaded.com.acme.A", "shaded.com.acme.B", "shaded.x.Y"}},
         {"7 u.jar relocated 2"}},
        {&m_relocated, {"v.jar", false, {"a.b.org.w.C", "a.b.org.w.D", "com.acme.A"}}, {"8 v.jar relocated 2"}},
        // The shading plugin's usual prefix is the application's own package and "shaded".
        {&m_relocated, {"app-all.jar", false, {"com.shop.app.Main", "com.shop.app.shaded.org.w.C", "com.shop.app.shaded.org.w.D"}},
         {"8 app-all.jar relocated 2"}},
        {&m_relocated, {"deep.jar", false, {"a.b.c.d.e.f.org.w.C", "a.b.c.d.e.f.org.w.D"}}, {}},
        // One name of many that matches after the cut is chance; a name found as it stands
        // is not cut.
        {&m_relocated, {"mine.jar", false, {"mine.org.w.C", "mine.p.One", "mine.p.Two"}}, {}},
        {&m_relocated, {"plain.jar", false, {"com.acme.A"}}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Match({c.matcher}, c.unit), c.finds) << c.unit.GetPath();
}

TEST_F(ScanMatchersTest, TheScanTriesEveryMatcherInItsOrder)
{
    const std::vector<std::unique_ptr<IMatcher>> order = ScanMatchers();
    ASSERT_EQ(order.size(), 3u);
    EXPECT_NE(dynamic_cast<CDirectMatcher*>(order[0].get()), nullptr);
    EXPECT_NE(dynamic_cast<CRelocatedMatcher*>(order[1].get()), nullptr);
    // The versions of what the others found.
    EXPECT_NE(dynamic_cast<CVersionMatcher*>(order[2].get()), nullptr);

    const CScanUnit unit{"app.jar", false, {"shaded.org.w.C", "com.acme.A", "shaded.org.w.D"}};
    EXPECT_EQ(Match({order[0].get(), order[1].get()}, unit), (Strings{"7 app.jar direct 1", "8 app.jar relocated 2"}));
    // Each distinct name, and each name after its cut, is asked once.
    const Strings requests = m_server.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GETSCID com.acme.A"), 1);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GETSCID org.w.C"), 1);

    // Without an answer from the server a matcher says so and adds nothing.
    m_connection.Close();
    testing::internal::CaptureStdout();
    const CScanUnit unknown{"new.jar", false, {"net.other.E"}};
    EXPECT_EQ(Match({order[0].get(), order[1].get()}, unknown, false), Strings{});
    testing::internal::GetCapturedStdout();
}
