// Every request the Java collection and the Java search send, answered with the elements
// they read.
#include <gtest/gtest.h>

#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>

#include "DistributionFiles.h"
#include "XmlAnswer.h"
#include "support/TestSite.h"

namespace
{
class JavaContractTest : public CSharedSiteTest
{
protected:
    // The URL the Java search builds for one technology, as it builds it.
    static std::string SearchUrl(const std::string& technology, const std::string& dataFile, const std::string& sheet,
                                 const std::string& qtarget, const std::string& package, const std::string& cls,
                                 const std::string& method)
    {
        return "/xql.dll/vantrel/java/data/" + technology + "/" + dataFile + "?xslsheet=vantrel:/java/xsl/" + sheet +
               "&qtarget=" + qtarget + "&packagename=" + package + "&classname=" + cls + "&methodname=" + method;
    }
};
}  // namespace

TEST_F(JavaContractTest, JavaIndexCarriesItsFileTimeForGetAndHead)
{
    struct stat info{};
    ASSERT_EQ(::stat(s_site->Path("public/data/java/index.xml").c_str(), &info), 0);
    std::string expected = CDistributionFiles::HttpDate(info.st_mtim.tv_sec);

    auto client = s_server->Client();
    auto head = client->Head("/public/data/java/index.xml");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Last-Modified"), expected);
    EXPECT_TRUE(head->body.empty());

    auto get = client->Get("/public/data/java/index.xml");
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 200);
    EXPECT_EQ(get->get_header_value("Last-Modified"), expected);
    CXmlAnswer index(get->body);
    ASSERT_TRUE(index.WellFormed());
    EXPECT_EQ(Joined(index.Values("/javatab/technology/@name")), "core|extra");
    EXPECT_EQ(Joined(index.Values("/javatab/technology/@display")), "Core Test|Extra Test");
    EXPECT_EQ(Joined(index.Values("/javatab/technology/@docroot")), "|file:///docs/extra/");
    EXPECT_EQ(Joined(index.Values("javatab/technology[@name=\"core\"]/package/@name")), "org.sample|org.sample.util");

    // A file that changes on the server changes its Last-Modified.
    timespec later[2] = {{info.st_mtim.tv_sec + 100, 0}, {info.st_mtim.tv_sec + 100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, s_site->Path("public/data/java/index.xml").c_str(), later, 0), 0);
    auto changed = client->Head("/public/data/java/index.xml");
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->get_header_value("Last-Modified"), CDistributionFiles::HttpDate(info.st_mtim.tv_sec + 100));
}

TEST_F(JavaContractTest, PackageDataFileListsClassNamesInClassFileForm)
{
    auto answer = s_server->Get("/xql.dll/vantrel/java/data/core/org.sample.xml");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->get_header_value("Content-Type").find("xml"), std::string::npos);
    CXmlAnswer data(answer->body);
    EXPECT_EQ(Joined(data.Values("//class/className")), "Gadget|Widget|Widget$Part");

    auto missing = s_server->Get("/xql.dll/vantrel/java/data/core/org.nothing.xml");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

TEST_F(JavaContractTest, SearchesAnswerTheElementsTheSearchReads)
{
    struct Case
    {
        const char* name;
        std::string url;
        const char* xpath;
        const char* expected;
    };
    const Case cases[] = {
        {"package", SearchUrl("core", "index.bnd", "search-package.xsl", "SAMPLE", "SAMPLE", "", ""),
         "/*/package/packageName", "org.sample|org.sample.util"},
        {"class", SearchUrl("core", "index.bnd", "search-class.xsl", "widget", "", "widget", ""),
         "/*/class/className", "Widget|Widget.Part"},
        {"class packages", SearchUrl("extra", "index.bnd", "search-class.xsl", "Widget", "", "Widget", ""),
         "/*/class/packageName", "org.extra"},
        {"qualified class", SearchUrl("core", "index.bnd", "search-class.xsl", "org.sample.util.str", "", "x", ""),
         "/*/class/className", "Strings"},
        {"empty class", SearchUrl("core", "index.bnd", "search-class.xsl", "", "", "", ""), "/*/class", ""},
        {"camel-case class", SearchUrl("core", "index.bnd", "search-class.xsl", "WP", "", "WP", ""),
         "/*/class/className", "Widget.Part"},
        {"humps in order only", SearchUrl("core", "index.bnd", "search-class.xsl", "PW", "", "PW", ""), "/*/class", ""},
        {"wildcard class", SearchUrl("core", "index.bnd", "search-class.xsl", "G?dg*", "", "G?dg*", ""),
         "/*/class/className", "Gadget"},
        {"words in any order", SearchUrl("core", "index.bnd", "search-class.xsl", "part%20widget", "", "", ""),
         "/*/class/className", "Widget.Part"},
        {"camel-case method", SearchUrl("core", "index.bnd", "search-method.xsl", "rA", "", "", "rA"),
         "/*/class/method/methodName", "resizeAll"},
        {"package by its last segments", SearchUrl("core", "index.bnd", "search-package.xsl", "sample.U", "sample.U", "", ""),
         "/*/package/packageName", "org.sample.util"},
        {"method", SearchUrl("core", "index.bnd", "search-method.xsl", "resize", "", "", "resize"),
         "/*/class/method/methodName", "resize|resize|resizeAll"},
        {"method signatures", SearchUrl("core", "index.bnd", "search-method.xsl", "resize", "", "", "resize"),
         "/*/class/method/signature", "(int)|(int, int)|(java.lang.String[])"},
        {"method classes", SearchUrl("core", "index.bnd", "search-method.xsl", "resize", "", "", "resize"),
         "/*/class/className", "Widget|Widget|Strings"},
        {"extends", SearchUrl("core", "index.bnd", "search-descendent.xsl", "Widget", "", "Widget", ""),
         "/*/class/className", "Gadget"},
        {"extends qualified", SearchUrl("core", "index.bnd", "search-descendent.xsl", "org.sample.widget", "", "", ""),
         "/*/class/className", "Gadget"},
        {"extends object", SearchUrl("core", "index.bnd", "search-descendent.xsl", "Object", "", "Object", ""),
         "/*/class/className", "Gadget|Widget|Strings"},
        {"implements", SearchUrl("core", "index.bnd", "search-interface.xsl", "Runnable", "", "Runnable", ""),
         "/*/class/className", "Gadget"},
        {"implements elsewhere", SearchUrl("extra", "index.bnd", "search-interface.xsl", "runnable", "", "", ""),
         "/*/class/className", "Widget"},
        {"package class", SearchUrl("core", "org.sample.xml", "search-package-class.xsl", "", "org.sample", "Widget", ""),
         "/*/class/className", "Widget"},
        {"package class nested", SearchUrl("core", "org.sample.xml", "search-package-class.xsl", "", "org.sample", "widget.part", ""),
         "/*/class/className", "Widget.Part"},
        {"package classes", SearchUrl("core", "org.sample.xml", "search-package-class.xsl", "", "org.sample", "", ""),
         "/*/class/className", "Gadget|Widget|Widget.Part"},
        {"package class method", SearchUrl("core", "org.sample.xml", "search-package-class-method.xsl", "", "org.sample", "Widget", "resize"),
         "/*/class/method/signature", "(int)|(int, int)"},
        {"package class method signature",
         SearchUrl("core", "org.sample.xml", "search-package-class-method.xsl", "", "org.sample", "Widget", "resize(int,%20int)"),
         "/*/class/method/signature", "(int, int)"},
        {"package method of any class", SearchUrl("core", "org.sample.xml", "search-package-class-method.xsl", "", "org.sample", "", "owner"),
         "/*/class/className", "Widget.Part"},
    };
    for (const auto& c : cases) {
        auto answer = s_server->Get(c.url);
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->status, 200) << c.name << ": " << answer->body;
        CXmlAnswer result(answer->body);
        ASSERT_TRUE(result.WellFormed()) << c.name << ": " << answer->body;
        EXPECT_EQ(Joined(result.Values(c.xpath)), c.expected) << c.name;
    }
}

TEST_F(JavaContractTest, ALookupOfAPackageATechnologyLacksFindsNothing)
{
    auto answer = s_server->Get(
        SearchUrl("extra", "org.sample.xml", "search-package-class.xsl", "", "org.sample", "Widget", ""));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
}

TEST_F(JavaContractTest, PackagePageLinksEveryClass)
{
    auto page = s_server->Get("/xql.dll/vantrel/java/data/core/org.sample.xml"
                              "?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl"
                              "&packagename=org.sample&packagelink=org/sample/package-summary.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
    EXPECT_NE(page->body.find("Package org.sample"), std::string::npos);
    for (const char* type : {"fullyqualified=org.sample.Widget\"", "fullyqualified=org.sample.Widget.Part\"",
                             "fullyqualified=org.sample.Gadget\""})
        EXPECT_NE(page->body.find(type), std::string::npos) << type;
    EXPECT_NE(page->body.find("href=\"/style/vantrel.css\""), std::string::npos);

    // With a documentation root the classes link into the documentation.
    auto documented = s_server->Get("/xql.dll/vantrel/java/data/extra/org.extra.xml"
                                    "?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl"
                                    "&packagename=org.extra&packagelink=file:///docs/extra/org/extra/package-summary.html");
    ASSERT_TRUE(documented);
    EXPECT_NE(documented->body.find("href=\"file:///docs/extra/org/extra/Widget.html\""), std::string::npos)
        << documented->body;
}

TEST_F(JavaContractTest, ClassPageHasTheMemberAnchorsTheClientLinksTo)
{
    auto page = s_server->Get("/xql.dll/vantrel/java/data/core/org.sample.xml"
                              "?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl"
                              "&xmlpage=org.sample.xml&fullyqualified=org.sample.Widget");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<h1>class Widget</h1>"), std::string::npos);
    EXPECT_NE(page->body.find("id=\"resize(int,+int)\""), std::string::npos);
    EXPECT_NE(page->body.find("id=\"resize(int)\""), std::string::npos);
    EXPECT_NE(page->body.find("fullyqualified=org.sample.Widget.Part"), std::string::npos);  // nested type

    auto nested = s_server->Get("/xql.dll/vantrel/java/data/core/org.sample.xml"
                                "?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl"
                                "&xmlpage=org.sample.xml&fullyqualified=org.sample.Widget.Part");
    ASSERT_TRUE(nested);
    EXPECT_NE(nested->body.find("<h1>interface Widget.Part</h1>"), std::string::npos);

    auto unknown = s_server->Get("/xql.dll/vantrel/java/data/core/org.sample.xml"
                                 "?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl"
                                 "&xmlpage=org.sample.xml&fullyqualified=org.sample.Nothing");
    ASSERT_TRUE(unknown);
    EXPECT_NE(unknown->body.find("has no class"), std::string::npos);
}

TEST_F(JavaContractTest, TabPagesAnswerWithAndWithoutTheirQuery)
{
    struct Case
    {
        const char* url;
        int status;
        const char* mentions;
    };
    const Case cases[] = {
        {"/vantrel/javatab/home.jsp", 200, "Core Test"},
        {"/vantrel/javatab/home.jsp?version=1.0.9&launcher=1&id=100042", 200, "client 100042"},
        {"/vantrel/javatab/search.jsp", 200, "How to search"},
        {"/vantrel/javatab/search.jsp?kind=1&q=widget", 200, "org.sample.Widget.Part"},
        {"/vantrel/javatab/search.jsp?kind=4&q=Runnable", 200, "org.extra.Widget"},
        {"/vantrel/javatab/search.jsp?kind=1&q=nothing-like-this", 200, "Nothing found"},
        {"/vantrel/javatab/technology/core.jsp", 200, "org.sample.util"},
        {"/vantrel/javatab/technology/nothing.jsp", 404, "no Java technology"},
    };
    for (const auto& c : cases) {
        auto page = s_server->Get(c.url);
        ASSERT_TRUE(page) << c.url;
        EXPECT_EQ(page->status, c.status) << c.url;
        EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos) << c.url;
        EXPECT_NE(page->body.find(c.mentions), std::string::npos) << c.url << "\n" << page->body;
    }
}

TEST_F(JavaContractTest, SearchIndexesFollowTheirFilesAndKeepTheBestOfLongAnswers)
{
    // A technology with more classes than an answer holds: the exact name leads, and the
    // answer says it was cut.
    std::string classes;
    for (int i = 0; i < 1200; ++i)
        classes += "<class name=\"Node" + std::to_string(i) + "\" package=\"org.big\" kind=\"class\"/>";
    classes += "<class name=\"Node\" package=\"org.big\" kind=\"class\"/>";
    s_site->Write("stores/vantrel/java/data/big/index.bnd",
                  "<index technology=\"big\"><packages/><classes>" + classes + "</classes><methods/></index>");
    auto big = s_server->Get(SearchUrl("big", "index.bnd", "search-class.xsl", "node", "", "node", ""));
    ASSERT_TRUE(big);
    CXmlAnswer answer(big->body);
    EXPECT_EQ(Joined(answer.Values("/searchresults/@count")), "1201");
    EXPECT_EQ(Joined(answer.Values("/searchresults/@truncated")), "true");
    EXPECT_EQ(answer.Count("/*/class"), 1000u);
    ASSERT_FALSE(answer.Values("/*/class/className").empty());
    EXPECT_EQ(answer.Values("/*/class/className").front(), "Node");

    // An index that changes on disk is read again; one that is not an index is an error.
    s_site->Write("stores/vantrel/java/data/big/index.bnd",
                  "<index technology=\"big\"><classes><class name=\"Leaf\" package=\"org.big\" kind=\"class\"/>"
                  "</classes></index>");
    timespec later[2] = {{0, UTIME_NOW}, {std::time(nullptr) + 5, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, s_site->Path("stores/vantrel/java/data/big/index.bnd").c_str(), later, 0), 0);
    auto changed = s_server->Get(SearchUrl("big", "index.bnd", "search-class.xsl", "leaf", "", "leaf", ""));
    ASSERT_TRUE(changed);
    EXPECT_EQ(Joined(CXmlAnswer(changed->body).Values("/*/class/className")), "Leaf");
    s_site->Write("stores/vantrel/java/data/broken/index.bnd", "<index><classes>");
    auto broken = s_server->Get(SearchUrl("broken", "index.bnd", "search-class.xsl", "x", "", "x", ""));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->status, 500);
}

TEST_F(JavaContractTest, AnswersAreGzippedOnlyWhereItPays)
{
    // What the program's libcurl sends, gzip only, and brotli only.
    auto client = s_server->Client();
    client->set_decompress(false);
    struct Case
    {
        const char* url;
        const char* acceptEncoding;
        bool gzip;
    };
    const Case cases[] = {
        {"/vantrel/javatab/home.jsp", "deflate, gzip, br, zstd", true},
        {"/vantrel/javatab/home.jsp", "gzip", true},
        {"/vantrel/javatab/home.jsp", "br", false},
        {"/Vantrel/markettab/session.jsp", "deflate, gzip, br, zstd", false},  // a few bytes
        {"/xql.dll/vantrel/java/data/core/org.sample.xml", "deflate, gzip, br, zstd", true},
    };
    for (const auto& c : cases) {
        auto answer = client->Get(c.url, httplib::Headers{{"Accept-Encoding", c.acceptEncoding}});
        ASSERT_TRUE(answer) << c.url;
        EXPECT_EQ(answer->status, 200) << c.url;
        EXPECT_EQ(answer->get_header_value("Content-Encoding") == "gzip", c.gzip) << c.url << " " << c.acceptEncoding;
    }
    // The same page decoded is the page unencoded.
    auto plain = client->Get("/vantrel/javatab/home.jsp", httplib::Headers{{"Accept-Encoding", "identity"}});
    auto decoded = s_server->Client()->Get("/vantrel/javatab/home.jsp", httplib::Headers{{"Accept-Encoding", "gzip"}});
    ASSERT_TRUE(plain && decoded);
    EXPECT_EQ(decoded->body, plain->body);
}
