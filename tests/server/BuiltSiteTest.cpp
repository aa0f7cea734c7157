// The site server/build-site writes from this machine's JDK and library archives, served and
// searched as the client does.
#include <gtest/gtest.h>

#include <cstdlib>

#include <unistd.h>

#include "LookupDatabase.h"
#include "TestDatabase.h"
#include "support/TestSite.h"
#include "XmlAnswer.h"

namespace
{
class BuiltSiteTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // build-site keeps the data while the JDK and the archives stay the same; the server
        // answers from the catalogue and lookup table build-site loads into its database.
        std::string command = std::string(CORVANE_SERVER_SOURCE) + "/build-site " + BUILT_SITE + " --database " +
                              BUILT_SITE_DATABASE + " --server " + VANTREL_SERVER + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        CServerOptions options;
        options.siteDir = BUILT_SITE;
        options.database = BUILT_SITE_DATABASE;
        s_server = new CRunningServer(options);
    }
    static void TearDownTestSuite() { delete s_server; }

    // The hits of a search over java.base as "|package.Class|...|" (with ".method(signature)"
    // for method hits), or the packages of a package search.
    static std::string Search(const std::string& sheet, const std::string& text)
    {
        auto answer = s_server->Get("/xql.dll/vantrel/java/data/java.base/index.bnd?xslsheet=vantrel:/java/xsl/" +
                                    sheet + "&qtarget=" + text + "&packagename=&classname=" + text + "&methodname=");
        if (!answer || answer->status != 200)
            return "(no answer)";
        CXmlAnswer result(answer->body);
        if (sheet == "search-package.xsl")
            return "|" + Joined(result.Values("/*/package/packageName")) + "|";
        auto packages = result.Values("/*/class/packageName");
        auto classes = result.Values("/*/class/className");
        auto methods = result.Values("/*/class/method/methodName");
        auto signatures = result.Values("/*/class/method/signature");
        std::string joined = "|";
        for (size_t i = 0; i < packages.size() && i < classes.size(); ++i) {
            joined += packages[i] + "." + classes[i];
            if (i < methods.size() && i < signatures.size())
                joined += "." + methods[i] + signatures[i];
            joined += "|";
        }
        return joined;
    }

    static CRunningServer* s_server;
};

CRunningServer* BuiltSiteTest::s_server = nullptr;

bool Has(const std::string& joined, const std::string& value) { return joined.find("|" + value + "|") != std::string::npos; }
}  // namespace

TEST_F(BuiltSiteTest, JavaIndexHoldsTheJdksModules)
{
    auto answer = s_server->Get("/public/data/java/index.xml");
    ASSERT_TRUE(answer);
    CXmlAnswer index(answer->body);
    std::string technologies = "|" + Joined(index.Values("javatab/technology/@name")) + "|";
    EXPECT_TRUE(Has(technologies, "java.base"));
    EXPECT_TRUE(Has(technologies, "java.sql"));
    std::string base = "|" + Joined(index.Values("javatab/technology[@name=\"java.base\"]/package/@name")) + "|";
    for (const char* package : {"java.lang", "java.util", "java.util.concurrent", "javax.net.ssl"})
        EXPECT_TRUE(Has(base, package)) << package;
    EXPECT_FALSE(Has(base, "jdk.internal.misc"));  // not exported to everyone
    EXPECT_FALSE(index.Values("javatab/technology[@name=\"java.base\"]/@display").at(0).empty());
    // The JDK's own reference pages, which the project's scripts install.
    EXPECT_EQ(index.Values("javatab/technology[@name=\"java.base\"]/@docroot").at(0),
              "file:///usr/share/doc/openjdk-17-jre-headless/api/java.base/");
}

TEST_F(BuiltSiteTest, SearchesFindRealClasses)
{
    EXPECT_TRUE(Has(Search("search-class.xsl", "Vector"), "java.util.Vector"));
    std::string below = Search("search-descendent.xsl", "AbstractList");
    EXPECT_TRUE(Has(below, "java.util.ArrayList")) << below;
    EXPECT_TRUE(Has(below, "java.util.Vector"));
    EXPECT_TRUE(Has(below, "java.util.Stack"));  // through Vector
    std::string runnable = Search("search-interface.xsl", "Runnable");
    EXPECT_TRUE(Has(runnable, "java.lang.Thread")) << runnable;
    EXPECT_TRUE(Has(runnable, "java.util.concurrent.FutureTask"));
    std::string methods = Search("search-method.xsl", "substring");
    EXPECT_TRUE(Has(methods, "java.lang.String.substring(int, int)")) << methods;
    EXPECT_TRUE(Has(Search("search-package.xsl", "concurrent.atomic"), "java.util.concurrent.atomic"));

    // What people type, each with a class it finds and one it must not.
    struct Case
    {
        const char* query;
        const char* found;
        const char* notFound;
    };
    const Case cases[] = {
        {"CHM", "java.util.concurrent.ConcurrentHashMap", "java.lang.NoSuchMethodError"},
        {"NPE", "java.lang.NullPointerException", "java.lang.NegativeArraySizeException"},
        {"HaMa", "java.util.HashMap", "java.util.Hashtable"},
        {"Hash*Map", "java.util.LinkedHashMap", "java.util.Hashtable"},
        {"Vect?r", "java.util.Vector", "java.util.Collections"},
        {"concurrent%20map", "java.util.concurrent.ConcurrentHashMap", "java.util.concurrent.ConcurrentLinkedQueue"},
        {"hashmap", "java.util.HashMap", "java.util.Hashtable"},
    };
    for (const auto& c : cases) {
        std::string hits = Search("search-class.xsl", c.query);
        EXPECT_TRUE(Has(hits, c.found)) << c.query << ": " << hits.substr(0, 400);
        EXPECT_FALSE(Has(hits, c.notFound)) << c.query;
    }
}

TEST_F(BuiltSiteTest, ClassPagesCarryMembersAndNestedTypes)
{
    std::string base = "/xql.dll/vantrel/java/data/java.base/";
    auto string = s_server->Get(base + "java.lang.xml?xslfolder=vantrel:/java/xsl/1.0"
                                       "&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl&xmlpage=java.lang.xml"
                                       "&fullyqualified=java.lang.String");
    ASSERT_TRUE(string);
    EXPECT_NE(string->body.find("id=\"substring(int,+int)\""), std::string::npos);
    EXPECT_NE(string->body.find("java.lang.CharSequence"), std::string::npos);

    auto entry = s_server->Get(base + "java.util.xml?xslfolder=vantrel:/java/xsl/1.0"
                                      "&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl&xmlpage=java.util.xml"
                                      "&fullyqualified=java.util.Map.Entry");
    ASSERT_TRUE(entry);
    EXPECT_NE(entry->body.find("<h1>interface Map.Entry</h1>"), std::string::npos);

    auto data = s_server->Get(base + "java.util.xml");
    ASSERT_TRUE(data);
    CXmlAnswer classes(data->body);
    EXPECT_EQ(classes.Count("//class[className=\"Map$Entry\"]"), 1u);
}

TEST_F(BuiltSiteTest, CatalogueAndLookupKnowTheMachinesLibraries)
{
    auto catalogue = s_server->Get("/xql.dll/components/vendors/components.bnd");
    ASSERT_TRUE(catalogue);
    CXmlAnswer components(catalogue->body);
    auto scids = components.Values("//component[starts-with(archive, 'commons-lang3')]/@SCID");
    ASSERT_EQ(scids.size(), 1u) << "libcommons-lang3-java is installed by scripts/install-deps.sh";
    EXPECT_EQ(components.Values("//component[@SCID=\"" + scids[0] + "\"]/categories/category/primaryCategory"),
              (std::vector<std::string>{"Utilities"}));
    EXPECT_GT(components.Count("//component"), 5u);
    // Debian's Maven repository links its archives into /usr/share/java: one component, whose
    // versions carry the archive's digests.
    EXPECT_EQ(components.Count("//component[artifact='org.apache.commons:commons-lang3']"), 1u);
    const std::string lang = "//component[@SCID=\"" + scids[0] + "\"]/versions/version";
    ASSERT_GE(components.Count(lang), 1u);
    EXPECT_EQ(components.Values(lang + "[1]/@name"), components.Values("//component[@SCID=\"" + scids[0] + "\"]/version"));
    EXPECT_EQ(components.Values(lang + "[1]/@sha256").at(0).size(), 64u);
    const std::string fingerprints = ReadFileText(std::string(BUILT_SITE) + "/lookup/fingerprints.txt");
    EXPECT_NE(fingerprints.find("\t" + scids[0] + "\t"), std::string::npos);

    int socket = ConnectLoopback(s_server->LookupPort());
    ASSERT_GE(socket, 0);
    ReadSome(socket, 2000);
    std::string request = "GETSCID org.apache.commons.lang3.StringUtils\n";
    ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    for (int i = 0; i < 10 && answer.find("201") == std::string::npos; ++i)
        answer += ReadSome(socket, 1000);
    ::close(socket);
    EXPECT_NE(answer.find("200 " + scids[0] + "\n"), std::string::npos) << answer;

    auto market = s_server->Get("/vantrel/markettab/indexfile.jsp");
    ASSERT_TRUE(market);
    CXmlAnswer index(market->body);
    EXPECT_GT(index.Count("marketplace/category/subcategory/component"), 5u);

    CLookupDatabase::CRows rows;
    std::string error;
    ASSERT_TRUE(CLookupDatabase::ReadFile(std::string(BUILT_SITE) + "/lookup/classes.txt", rows, error)) << error;
    EXPECT_EQ(QueryText(BUILT_SITE_DATABASE, "SELECT count(*) FROM lookup_classes"), std::to_string(rows.size()) + "|");
}
