#include "LocalItemDataManager.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "CatalogueEntries.h"
#include "IndexWriter.h"
#include "LocalItem.h"
#include "ScanResults.h"
#include "support/HeadlessModalRunner.h"
#include "support/ItemNames.h"
#include "support/RecordingHttpServer.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace
{
std::string Component(const std::string& scid, const std::string& name,
                      std::vector<std::pair<std::string, std::string>> placements)
{
    std::string xml = "<component SCID=\"" + scid + "\"><componentName>" + name + "</componentName><vendor>v</vendor><categories>";
    for (const auto& [primary, secondary] : placements)
        xml += "<category><primaryCategory>" + primary + "</primaryCategory><secondaryCategory>" + secondary +
               "</secondaryCategory></category>";
    return xml + "</categories></component>";
}

const std::string kIndex = "<components>" +
                           Component("1", "Parser", {{"A", "X"}, {"B", "Y"}}) +
                           Component("2", "Lexer", {{"A", "Y"}}) +
                           Component("3", "Parser", {{"A", "X"}}) +     // same name: one item
                           Component("4", "parser", {{"A", "X"}}) +     // differs in case: its own item
                           Component("5", "Grid", {{"a", "Z"}}) +       // a category differing in case
                           Component("6", "Quote", {{"Say \"hi\"", "It's"}}) +
                           "</components>";

class LocalFixture : public ::testing::Test
{
protected:
    void Write(const std::string& xml) { WriteFileText(m_registry.DataDir() + "/Local/components.xml", xml); }


    std::vector<std::string> Children(CLocalItemDataManager& manager, const CLocalItem& parent)
    {
        CItemList list;
        EXPECT_TRUE(manager.ListChildItems(parent, list)) << parent.GetName();
        return Names(list);
    }

    CTestRegistry m_registry;
    CHeadlessModalRunner m_runner{std::chrono::seconds(60)};
    CScriptedPrompt m_prompt;
};

CLocalItem Category(const std::string& primary)
{
    return CLocalItem(ITEM_GROUP, primary, primary, "", "", "");
}

CLocalItem Subcategory(const std::string& primary, const std::string& secondary)
{
    return CLocalItem(ITEM_SUBGROUP, secondary, primary, secondary, "", "");
}
}  // namespace

TEST_F(LocalFixture, ListsComponentsByPrimaryAndSecondaryCategory)
{
    Write(kIndex);
    CLocalItemDataManager manager(m_runner, m_prompt);
    CItemList categories;
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"A", "a", "B", "Say \"hi\""}));

    EXPECT_EQ(Children(manager, Category("A")), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(Children(manager, Category("B")), (std::vector<std::string>{"Y"}));
    EXPECT_EQ(Children(manager, Subcategory("A", "X")), (std::vector<std::string>{"Parser", "parser"}));
    // Parser is in (B, Y) and Lexer provides Y under A: both conditions hold for Parser.
    EXPECT_EQ(Children(manager, Subcategory("A", "Y")), (std::vector<std::string>{"Lexer", "Parser"}));
    EXPECT_EQ(Children(manager, Subcategory("B", "Y")), (std::vector<std::string>{"Parser"}));
    EXPECT_EQ(Children(manager, Category("Say \"hi\"")), (std::vector<std::string>{"It's"}));
    EXPECT_EQ(Children(manager, Subcategory("Say \"hi\"", "It's")), (std::vector<std::string>{"Quote"}));

    CItemList list;
    ASSERT_TRUE(manager.ListChildItems(Subcategory("A", "Y"), list));
    const auto& lexer = static_cast<const CLocalItem&>(list.GetAt(0));
    EXPECT_EQ(lexer.GetScid(), "2");
    EXPECT_EQ(lexer.GetPrimaryCategory(), "A");
    EXPECT_EQ(lexer.GetSecondaryCategory(), "Y");
    EXPECT_TRUE(lexer.HasChildren());  // its packages and classes

    for (int kind : {0, 2, 5}) {
        EXPECT_TRUE(manager.ListChildItems(CLocalItem(kind, "x", "A", "X", "", ""), list));
        EXPECT_TRUE(list.IsEmpty());
    }
    // A package without a component, and kinds no tree has.
    for (int kind : {1, 6, 8})
        EXPECT_FALSE(manager.ListChildItems(CLocalItem(kind, "x", "A", "X", "", ""), list));
}

TEST_F(LocalFixture, IndexWithAnotherRootGivesOnlyCategories)
{
    Write("<inventory>" + Component("1", "Parser", {{"A", "X"}}) + "</inventory>");
    CLocalItemDataManager manager(m_runner, m_prompt);
    CItemList categories;
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(Children(manager, Category("A")).empty());
    EXPECT_TRUE(Children(manager, Subcategory("A", "X")).empty());
}

TEST_F(LocalFixture, RootListingReloadsTheIndex)
{
    Write(kIndex);
    CLocalItemDataManager manager(m_runner, m_prompt);
    CItemList categories;
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    Write("<components>" + Component("9", "New", {{"Fresh", "One"}}) + "</components>");
    EXPECT_EQ(Children(manager, Category("A")), (std::vector<std::string>{"X", "Y"}));  // as last loaded
    ASSERT_TRUE(manager.ListComponentCategories(categories, true));
    EXPECT_EQ(Names(categories), (std::vector<std::string>{"Fresh"}));

    Write("<components><broken>");
    EXPECT_FALSE(manager.ListComponentCategories(categories, true));
    EXPECT_TRUE(categories.IsEmpty());
}

TEST_F(LocalFixture, UrlsOfEveryKind)
{
    m_registry.Set("ComponentWebServer", "http://web.example:8380");
    CLocalItemDataManager manager(m_runner, m_prompt);
    const std::string s = "http://web.example:8380";
    const std::pair<CLocalItem, std::string> cases[] = {
        {CLocalItem(0, "b", "", "", "", ""), "about:blank"},
        {CLocalItem(1, "Home", "", "", "", ""), s + "/vantrel/localtab/home.jsp"},
        {CLocalItem(2, "Search Results", "", "", "", ""), s + "/vantrel/localtab/search.jsp"},
        {Category("Data Access"), s + "/vantrel/localtab/category.jsp?cat=Data Access"},
        {Subcategory("A&B", "X"), s + "/vantrel/localtab/productlist.jsp?cat=A&B&subcat=X"},
        {CLocalItem(5, "Parser", "A", "X", "Parser", "42"),
         s + "/xql.dll/components/vendors/components.bnd?scid=42&xslsheet=components:/vendors/xsl/rm/"
             "component-overview.xsl&xmlpage=components/vendors/components.bnd"},
    };
    for (const auto& [item, expected] : cases) {
        std::string url;
        EXPECT_TRUE(manager.GetItemURL(item, url)) << expected;
        EXPECT_EQ(url, expected);
    }
    std::string url = "unchanged";
    EXPECT_FALSE(manager.GetItemURL(CLocalItem(8, "x", "", "", "", ""), url));
    EXPECT_EQ(url, "unchanged");
}

TEST_F(LocalFixture, UnidentifiedArchivesHaveACategoryAndAPageOfTheirOwn)
{
    CScanResults results;
    CUnidentified byPom;
    byPom.path = "/m2/a&b/guice multibindings.jar";
    byPom.match = "metadata";
    byPom.group = "com.google.inject.extensions";
    byPom.artifact = "guice-multibindings";
    byPom.version = "4.2.3";
    byPom.name = "Guice & Co";
    byPom.sha1 = "ab12";
    results.AddUnidentified(byPom);
    ASSERT_TRUE(CIndexWriter::Write(CLocalItemDataManager::IndexFile(), results, CCatalogueEntries()));

    m_registry.Set("ComponentWebServer", "http://web.example:8380");
    CLocalItemDataManager manager(m_runner, m_prompt);
    CItemList list;
    ASSERT_TRUE(manager.ListComponentCategories(list, true));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Unidentified archives"}));
    EXPECT_EQ(Children(manager, Category("Unidentified archives")), (std::vector<std::string>{"Named by pom.properties"}));
    ASSERT_TRUE(manager.ListChildItems(Subcategory("Unidentified archives", "Named by pom.properties"), list));
    ASSERT_EQ(Names(list), (std::vector<std::string>{"Guice & Co 4.2.3"}));

    // Its page: the server's page of an archive it does not know, told what the index knows,
    // every value encoded so that none ends the address or starts another parameter.
    const auto& leaf = static_cast<const CLocalItem&>(list.GetAt(0));
    std::string url;
    ASSERT_TRUE(manager.GetItemURL(leaf, url));
    EXPECT_EQ(url, "http://web.example:8380/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/"
                   "xsl/rm/local-unidentified.xsl&xmlpage=components/vendors/components.bnd&scid=" +
                       leaf.GetScid().substr(0, 5) + "%3A" + leaf.GetScid().substr(6) +
                       "&name=Guice%20%26%20Co%204.2.3&version=4.2.3"
                       "&artifact=com.google.inject.extensions%3Aguice-multibindings&match=metadata&sha1=ab12&sha256=");
    auto places = manager.ListPlaces(leaf.GetScid());
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].path + " " + places[0].basis + " " + places[0].version, byPom.path + " metadata 4.2.3");
}

// Under a component: its packages and classes as the server lists them for the versions found
// here, asked once; each class's page from the javadoc archive beside the component's archive,
// else the server's page, told why an API page found was refused.
TEST_F(LocalFixture, ComponentsListTheirPackagesAndClasses)
{
    CTempDir lib;
    const std::string archive = lib.File("acme 1.0.jar"), refused = lib.File("evil-2.0.jar");
    MakeArchiveOf(archive, {{"a/b/Reader.class", ClassFileBytes("a/b/Reader")}});
    MakeArchiveOf(refused, {{"e/Evil.class", ClassFileBytes("e/Evil")}});
    MakeArchiveOf(lib.File("acme 1.0-javadoc.jar"), {{"a/b/Reader.html", "<html>Reader</html>"},
                                                      {"a/b/package-summary.html", "<html>a.b</html>"}});
    MakeArchiveOf(lib.File("evil-2.0-javadoc.jar"), {{"../outside.html", "x"}});
    Write("<components><component SCID=\"42\"><componentName>Acme</componentName>"
          "<foundIn path=\"" + archive + "\" version=\"1.0\"/><foundIn path=\"/x/acme.jar\" version=\"1.1 &amp;2\"/>"
          "<foundIn path=\"/y/acme.jar\" version=\"1.0\"/></component>"
          "<component SCID=\"43\"><componentName>Evil</componentName><foundIn path=\"" + refused + "\"/></component>"
          "<component SCID=\"local:0a\"><componentName>Unknown</componentName></component></components>");
    CRecordingHttpServer server;
    std::vector<std::string> asked;
    server.Server().Get("/vantrel/localtab/classes.jsp", [&](const httplib::Request& request, httplib::Response& answer) {
        asked.push_back(request.target);
        answer.set_content(request.get_param_value("scid") == "42"
                               ? "<classes SCID=\"42\"><package name=\"\"><class name=\"Main\"/></package>"
                                 "<package name=\"a.b\"><class name=\"a.b.Reader\"/><class name=\"a.b.Book\"/></package>"
                                 "</classes>"
                               : "<classes SCID=\"43\"><package name=\"e\"><class name=\"e.Evil\"/></package></classes>",
                           "text/xml");
    });
    server.Start();
    const std::string s = "http://127.0.0.1:" + std::to_string(server.Port());
    m_registry.Set("ComponentWebServer", s);
    CLocalItemDataManager manager(m_runner, m_prompt);

    const CLocalItem acme(ITEM_LEAF, "Acme", "A", "X", "Acme", "42");
    EXPECT_FALSE(CLocalItem(ITEM_LEAF, "Unknown", "A", "X", "Unknown", "local:0a").HasChildren());
    ASSERT_TRUE(acme.HasChildren());
    CItemList packages;
    ASSERT_TRUE(manager.ListChildItems(acme, packages));
    EXPECT_EQ(Names(packages), (std::vector<std::string>{"(unnamed package)", "a.b"}));
    const auto& ab = static_cast<const CLocalItem&>(packages.GetAt(1));
    EXPECT_TRUE(ab.HasChildren());
    CItemList classes;
    ASSERT_TRUE(manager.ListChildItems(ab, classes));
    EXPECT_EQ(Names(classes), (std::vector<std::string>{"Book", "Reader"}));
    EXPECT_FALSE(classes.GetAt(0).HasChildren());
    // The versions found, each once and encoded; the list is asked for once.
    EXPECT_EQ(asked, std::vector<std::string>{"/vantrel/localtab/classes.jsp?scid=42&version=1.0&version=1.1%20%262"});

    const std::string pages = m_registry.DataDir() + "/Cache/javadoc/";
    const std::pair<const CTreeItem*, std::string> urls[] = {
        {&classes.GetAt(1), "/a/b/Reader.html"},
        {&ab, "/a/b/package-summary.html"},
        {&classes.GetAt(0), s + "/vantrel/localtab/class.jsp?name=a.b.Book"},
        {&packages.GetAt(0), s + "/xql.dll/components/vendors/components.bnd?scid=42&xslsheet=components:/vendors/"
                                 "xsl/rm/component-overview.xsl&xmlpage=components/vendors/components.bnd"},
    };
    for (const auto& [item, expected] : urls) {
        std::string url;
        ASSERT_TRUE(manager.GetItemURL(*item, url)) << item->GetName();
        if (expected.starts_with("/")) {
            // file:// and the cache's folder of that archive, its name encoded.
            ASSERT_TRUE(url.starts_with("file://")) << url;
            EXPECT_TRUE(url.ends_with(expected)) << url;
            EXPECT_TRUE(fs::exists(url.substr(7))) << url;
            EXPECT_TRUE(fs::path(url.substr(7)).lexically_normal().string().starts_with(fs::path(pages).lexically_normal().string()))
                << url;
        } else {
            EXPECT_EQ(url, expected);
        }
    }

    // A refused javadoc archive: the server's page says why; nothing lands outside the cache.
    CItemList evilPackages, evil;
    ASSERT_TRUE(manager.ListChildItems(CLocalItem(ITEM_LEAF, "Evil", "A", "X", "Evil", "43"), evilPackages));
    ASSERT_TRUE(manager.ListChildItems(evilPackages.GetAt(0), evil));
    ASSERT_EQ(Names(evil), std::vector<std::string>{"Evil"});
    std::string url;
    ASSERT_TRUE(manager.GetItemURL(evil.GetAt(0), url));
    EXPECT_TRUE(url.starts_with(s + "/vantrel/localtab/class.jsp?name=e.Evil&note=")) << url;
    EXPECT_NE(url.find("outside.html"), std::string::npos) << url;
    EXPECT_FALSE(fs::exists(lib.File("outside.html")));
    EXPECT_FALSE(fs::exists(m_registry.DataDir() + "/Cache/outside.html"));
}

TEST_F(LocalFixture, MissingIndexOffersTheScan)
{
    CLocalItemDataManager manager(m_runner, m_prompt);
    m_prompt.Answer(IDNO);
    EXPECT_TRUE(manager.UpdateIndex());
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text, "Would you like to perform a scan of your CLASSPATH for known components at this time?");
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(m_prompt.Shown()[0].type, MB_YESNO);

    // No wrote an empty index that is accepted without a question from now on.
    CXmlDocument written;
    ASSERT_TRUE(written.Load(CLocalItemDataManager::IndexFile()));
    EXPECT_EQ(written.GetDocumentElement().GetNodeName(), "components");
    EXPECT_FALSE(written.GetDocumentElement().GetFirstChild());
    EXPECT_TRUE(manager.UpdateIndex());
    EXPECT_EQ(m_prompt.Shown().size(), 1u);
    CItemList categories;
    EXPECT_TRUE(manager.ListComponentCategories(categories, true));
    EXPECT_TRUE(categories.IsEmpty());
}

TEST_F(LocalFixture, NoAnswerWithoutALocalFolderFails)
{
    m_registry.Set("Data", m_registry.DataDir() + "/nowhere");
    CLocalItemDataManager manager(m_runner, m_prompt);
    m_prompt.Answer(IDNO);
    EXPECT_FALSE(manager.UpdateIndex());
}

TEST_F(LocalFixture, YesRunsTheScanOfTheClassPath)
{
    CTempDir empty;  // a class directory without classes: nothing to look up
    bool scanned = false;
    {
        CScopedEnvironment classPath("CLASSPATH", empty.Path());
        CLocalItemDataManager manager(m_runner, m_prompt);
        m_prompt.Answer(IDYES);
        scanned = manager.UpdateIndex();
    }
    EXPECT_TRUE(scanned);
    CXmlDocument written;
    ASSERT_TRUE(written.Load(CLocalItemDataManager::IndexFile()));
    EXPECT_EQ(written.GetDocumentElement().GetNodeName(), "components");
}
