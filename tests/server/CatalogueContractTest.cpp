// The Marketplace and Local requests, answered with the elements the collections, their
// searches and the CLASSPATH scan read.
#include <gtest/gtest.h>

#include <set>

#include "XmlAnswer.h"
#include "support/TestSite.h"

namespace
{
class CatalogueContractTest : public CSharedSiteTest {};
}  // namespace

TEST_F(CatalogueContractTest, MarketIndexGroupsComponentsByCategory)
{
    auto answer = s_server->Get("/vantrel/markettab/indexfile.jsp");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_FALSE(answer->get_header_value("Last-Modified").empty());
    CXmlAnswer index(answer->body);
    ASSERT_TRUE(index.WellFormed()) << answer->body;
    EXPECT_EQ(Joined(index.Values("marketplace/category/@name")), "Data Formats|Logging|Utilities");
    EXPECT_EQ(Joined(index.Values("marketplace/category[@name=\"Data Formats\"]/subcategory/@name")), "Parsing");
    EXPECT_EQ(Joined(index.Values(
                  "marketplace/category[@name=\"Data Formats\"]/subcategory[@name=\"Parsing\"]/component/@id")),
              "1000001|1000003");
    EXPECT_EQ(Joined(index.Values(
                  "marketplace/category[@name=\"Data Formats\"]/subcategory[@name=\"Parsing\"]/component/@name")),
              "Acme Parsers|Acme Parsers Extras");
    // A component placed in two categories is listed under both.
    EXPECT_EQ(Joined(index.Values("marketplace/category[@name=\"Utilities\"]/subcategory/component/@id")), "1000001");
}

TEST_F(CatalogueContractTest, SessionIdsComeOnTheFirstLineAndDiffer)
{
    std::set<std::string> ids;
    for (int i = 0; i < 3; ++i) {
        auto answer = s_server->Get("/Vantrel/markettab/session.jsp?look=vantrel");
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        std::string first = answer->body.substr(0, answer->body.find('\n'));
        EXPECT_EQ(first.size(), 32u) << answer->body;
        EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos) << first;
        ids.insert(first);
    }
    EXPECT_EQ(ids.size(), 3u);
}

TEST_F(CatalogueContractTest, MarketSearchAnswersMarketsearchComponents)
{
    struct Case
    {
        const char* lparam;
        const char* ids;
    };
    const Case cases[] = {
        {"acme", "1000001|1000003"},
        {"LOGGING", "1000002"},     // a category, any case
        {"com.acme.parse", "1000001|1000003"},  // a package
        {"Acme%20Parsers%20Extras", "1000003"},  // blanks arrive percent-encoded
        {"acme%20parsers%20e", "1000003|1000001"},  // a prefix of the one before a letter in the other
        {"AcPa", "1000001|1000003"},                // camel case
        {"APE", "1000003"},
        {"PaAc", ""},                               // humps in their order only
        {"parsers%20acme", "1000001|1000003"},      // words in any order
        {"*Extras", "1000003"},                     // wildcards
        {"B?ta", "1000002"},
        {"Bt", ""},
        {"nothing-like-this", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        auto answer = s_server->Get(std::string("/components/xmlsearchresults.jsp?lparam=") + c.lparam + "&sid=abc");
        ASSERT_TRUE(answer) << c.lparam;
        EXPECT_EQ(answer->status, 200) << c.lparam;
        CXmlAnswer result(answer->body);
        ASSERT_TRUE(result.WellFormed()) << answer->body;
        EXPECT_EQ(Joined(result.Values("marketsearch/component/@id")), c.ids) << c.lparam;
        EXPECT_EQ(result.Count("marketsearch/component/@name"), result.Count("marketsearch/component/@id"));
    }
}

TEST_F(CatalogueContractTest, CategoryBySCIDGivesTheEntryTheScanStores)
{
    auto answer = s_server->Get("/xql.dll/components/vendors/components.bnd"
                                "?xslsheet=components:/vendors/xsl/categorybyscid.xsl&scid=1000001");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    CXmlAnswer entry(answer->body);
    ASSERT_TRUE(entry.WellFormed()) << answer->body;
    EXPECT_EQ(Joined(entry.Values("//component/@SCID")), "1000001");
    EXPECT_EQ(Joined(entry.Values("//component/componentName")), "Acme Parsers");
    EXPECT_EQ(Joined(entry.Values("//component/categories/category/primaryCategory")), "Data Formats|Utilities");
    EXPECT_EQ(Joined(entry.Values("//component/categories/category/secondaryCategory")), "Parsing|Text");

    auto unknown = s_server->Get("/xql.dll/components/vendors/components.bnd"
                                 "?xslsheet=components:/vendors/xsl/categorybyscid.xsl&scid=42");
    ASSERT_TRUE(unknown);
    CXmlAnswer none(unknown->body);
    ASSERT_TRUE(none.WellFormed());
    EXPECT_EQ(none.Count("//component"), 0u);
}

TEST_F(CatalogueContractTest, LocalSearchAnswersComponentsWithSCIDs)
{
    // Classes are matched by their simple name as the Java search matches, or by the whole
    // name when the query has a dot; each row names a component that holds the class.
    struct Case
    {
        const char* qtarget;
        const char* scids;
        const char* classes;
    };
    const Case cases[] = {
        {"parsers", "1000001|1000003", ""},
        {"beta", "1000002", ""},
        {"facades%20and", "1000002", ""},
        {"acme%20parsers%20e", "1000003|1000001", ""},  // ranked as the Marketplace is
        {"APE", "1000003", ""},
        {"Parsers*Extras", "1000003", ""},
        {"PaAc", "", ""},
        {"", "", ""},
        {"csv", "", "com.acme.parse.Csv 1000001|com.acme.parse.Csv 1000003"},
        {"?sv", "", "com.acme.parse.Csv 1000001|com.acme.parse.Csv 1000003|com.acme.parse.Tsv 1000001"},
        {"acme.parse.T", "", "com.acme.parse.Tsv 1000001"},
        {"lo", "1000002", "org.beta.log.Log 1000002"},
        {"%3Cx%3E", "", ""},
    };
    for (const auto& c : cases) {
        auto answer = s_server->Get(std::string("/xql.dll/components/vendors/components.bnd"
                                                "?xslsheet=components:/vendors/xsl/rm/search-local.xsl&qtarget=") +
                                    c.qtarget);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200);
        CXmlAnswer result(answer->body);
        ASSERT_TRUE(result.WellFormed()) << answer->body;
        EXPECT_EQ(Joined(result.Values("components/component/@SCID")), c.scids) << c.qtarget;
        std::vector<std::string> classes;
        for (size_t i = 1; i <= result.Count("components/class"); ++i) {
            const std::string row = "components/class[" + std::to_string(i) + "]";
            classes.push_back(Joined(result.Values(row + "/@name")) + " " + Joined(result.Values(row + "/@SCID")));
        }
        EXPECT_EQ(Joined(classes), c.classes) << c.qtarget;
    }
}

// A component's classes for the Local tree: those of the versions found, by package; every
// class when no version found is catalogued.
TEST_F(CatalogueContractTest, ClassListsFollowTheVersionsFound)
{
    struct Case
    {
        const char* query;
        const char* packages;
        const char* classes;
    };
    const Case cases[] = {
        {"scid=1000001", "com.acme.parse", "com.acme.parse.Csv|com.acme.parse.Tsv"},
        {"scid=1000001&version=2.1", "com.acme.parse", "com.acme.parse.Csv|com.acme.parse.Tsv"},
        {"scid=1000001&version=2.0-beta%3C1%3E", "com.acme.parse", "com.acme.parse.Csv"},
        {"scid=1000001&version=2.0-beta%3C1%3E&version=2.1", "com.acme.parse", "com.acme.parse.Csv|com.acme.parse.Tsv"},
        {"scid=1000001&version=9.9", "com.acme.parse", "com.acme.parse.Csv|com.acme.parse.Tsv"},
        {"scid=1000002", "org.beta.log", "org.beta.log.Log"},
        {"scid=42", "", ""},
        {"scid=%22%3E", "", ""},
    };
    for (const auto& c : cases) {
        auto answer = s_server->Get(std::string("/vantrel/localtab/classes.jsp?") + c.query);
        ASSERT_TRUE(answer) << c.query;
        EXPECT_EQ(answer->status, 200) << c.query;
        CXmlAnswer result(answer->body);
        ASSERT_TRUE(result.WellFormed()) << answer->body;
        EXPECT_EQ(Joined(result.Values("/classes/package/@name")), c.packages) << c.query;
        EXPECT_EQ(Joined(result.Values("/classes/package/class/@name")), c.classes) << c.query;
    }
}

TEST_F(CatalogueContractTest, PagesAnswerHtml)
{
    struct Case
    {
        const char* url;
        const char* mentions;
    };
    const Case cases[] = {
        {"/xql.dll/components/vendors/components.bnd?scid=1000002"
         "&xslsheet=components:/vendors/xsl/rm/component-overview.xsl&xmlpage=components/vendors/components.bnd",
         "Beta Logging"},
        {"/xql.dll/components/vendors/components.bnd?scid=999"
         "&xslsheet=components:/vendors/xsl/rm/component-overview.xsl&xmlpage=components/vendors/components.bnd",
         "no component with the SCID"},
        // An archive the catalogue does not know: what the client passes is text, never markup.
        {"/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/local-unidentified.xsl"
         "&xmlpage=components/vendors/components.bnd&scid=local%3A0a&name=%3Cscript%3Ex%3C%2Fscript%3E&match=metadata",
         "<title>&lt;script&gt;x&lt;/script&gt; · Vantrel</title>"},
        {"/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/local-unidentified.xsl"
         "&scid=local%3A0b&name=parsers%200.1&artifact=com.acme%3Aparsers&version=0.1&match=filename",
         "component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid=1000001"},
        {"/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/local-unidentified.xsl"
         "&scid=local%3A0c&sha256=%3Cb%3E", "only its hashes identify it"},
        {"/vantrel/localtab/category.jsp?cat=Unidentified%20archives", "found on this machine"},
        {"/vantrel/localtab/home.jsp", "Data Formats"},
        {"/vantrel/localtab/search.jsp", "Search the catalogue"},
        {"/vantrel/localtab/search.jsp?q=acme", "Acme Parsers Extras"},
        {"/vantrel/localtab/category.jsp?cat=Data%20Formats", "Parsing"},
        {"/vantrel/localtab/productlist.jsp?cat=Logging&subcat=Facades%20and%20Bridges", "Beta Logging"},
        {"/vantrel/markettab/home.jsp?sid=s1", "sid=s1"},
        {"/vantrel/markettab/home.jsp?sid=", "Component Marketplace"},
        {"/vantrel/markettab/search.jsp?sid=s1", "Search the Marketplace"},
        {"/vantrel/markettab/search.jsp?sid=s1&q=beta", "view.jsp?prodid=1000002&amp;sid=s1"},
        {"/vantrel/markettab/search.jsp?sid=s1&q=BeLo&found=%201000001%20", "view.jsp?prodid=1000002&amp;sid=s1"},
        {"/components/subcategory.jsp?framework=Java&category=Utilities&sid=s1", "Text"},
        {"/components/productlist.jsp?framework=Java&category=Data%20Formats&subcategory=Parsing&sid=s1",
         "Acme Parsers Extras"},
        {"/components/view.jsp?prodid=1000001&sid=s1", "Acme &amp; Sons"},
        // Every version newest first, its SHA-256 shortened, licences escaped and linked only over http(s).
        {"/components/view.jsp?prodid=1000001&sid=s1", "Versions in the catalogue <span class=\"count\">(2)</span>"},
        {"/components/view.jsp?prodid=1000001&sid=s1",
         "<td>2.1</td>\n<td>2</td>\n<td><code title=\"2f1a7c3e9b0d45e6a8c1f2e3d4b5a6c7e8f90a1b2c3d4e5f6a7b8c9d0e1f2a3b\">"
         "2f1a7c3e9b0d</code></td>"},
        {"/components/view.jsp?prodid=1000001&sid=s1",
         "<a href=\"https://acme.example/licence\">Acme &amp; &lt;Sons&gt; Licence</a>; Script</td>"},
        {"/components/view.jsp?prodid=1000001&sid=s1", "<td>2.0-beta&lt;1&gt;</td>\n<td>1</td>"},
        {"/xql.dll/components/vendors/components.bnd?scid=1000001"
         "&xslsheet=components:/vendors/xsl/rm/component-overview.xsl&xmlpage=components/vendors/components.bnd",
         "<td>2.0-beta&lt;1&gt;</td>"},
        {"/components/view.jsp?prodid=0&sid=s1", "no product"},
        // A class without an API page on the machine: who holds it, in which versions.
        {"/vantrel/localtab/class.jsp?name=com.acme.parse.Csv", "Class com.acme.parse.Csv in package com.acme.parse."},
        {"/vantrel/localtab/class.jsp?name=com.acme.parse.Csv", "Acme Parsers</a></td>\n<td>2.1, 2.0-beta&lt;1&gt;</td>"},
        {"/vantrel/localtab/class.jsp?name=com.acme.parse.Tsv", "Acme Parsers</a></td>\n<td>2.1</td>"},
        {"/vantrel/localtab/class.jsp?name=com.acme.parse.Csv", "scid=1000003\">Acme Parsers Extras</a>"},
        {"/vantrel/localtab/class.jsp?name=a.Missing&note=%3Cb%3Ebroken%3C%2Fb%3E",
         "<p class=\"notice\">&lt;b&gt;broken&lt;/b&gt;</p>"},
        {"/vantrel/localtab/class.jsp?name=a.Missing", "The catalogue lists no component holding this class."},
    };
    for (const auto& c : cases) {
        auto page = s_server->Get(c.url);
        ASSERT_TRUE(page) << c.url;
        EXPECT_EQ(page->status, 200) << c.url;
        EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos) << c.url;
        EXPECT_NE(page->body.find(c.mentions), std::string::npos) << c.url << "\n" << page->body;
    }
}
