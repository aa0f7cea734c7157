#include "JavaItemDataManager.h"

#include <filesystem>
#include <set>

#include <unistd.h>

#include <gtest/gtest.h>

#include "JavaItem.h"
#include "JavaTestServer.h"
#include "SystemCalls.h"
#include "support/SwappedCall.h"
#include "support/HeadlessModalRunner.h"
#include "support/ItemNames.h"
#include "support/RawHttpServer.h"
#include "support/TestSupport.h"

namespace
{
const char* const kIndex = R"(<?xml version="1.0"?>
<javatab>
  <technology name="jdk" display="JDK 1.2" docroot="http://docs.example/api/">
    <package name="java.util"/>
    <package name="java.lang"/>
  </technology>
  <technology name="swing" display="swing set" docroot="">
    <package name="javax.swing"/>
  </technology>
  <technology name="access" display="Accessibility" docroot="A/"/>
  <technology name="hidden" display="Aardvark" docroot=""/>
  <technology name="odd" display="Zeta" docroot=""/>
  <technology name="twice" display="beta" docroot=""/>
  <technology name="q&quot;uote" display="Quote" docroot="">
    <package name="q.one"/>
  </technology>
</javatab>)";

const char* const kPreferences = R"(<?xml version="1.0"?>
<preferences><javatab><display>
  <technology name="hidden" show="0"/>
  <technology name="odd" show="yes"/>
  <technology name="jdk" show="1"/>
  <technology name="twice" show="1"/>
  <technology name="twice" show="0"/>
  <technology name="SWING" show="0"/>
  <technology name="q&quot;uote"/>
</display></javatab></preferences>)";

const char* const kPackage = R"(<?xml version="1.0"?>
<package name="java.util">
  <class><className>Map$Entry</className></class>
  <class><className>Outer$1</className></class>
  <class><className>Outer$Inner$2</className></class>
  <class><className>Outer$Inner</className></class>
  <class><className>HashMap</className></class>
  <class><className>HashMap</className></class>
  <class><className>abstractList</className></class>
  <class><className>AbstractList</className></class>
  <nested><class><className>Deep</className></class></nested>
</package>)";

const char* const kUtilPath = "/xql.dll/vantrel/java/data/jdk/java.util.xml";


const CJavaItem& JavaAt(const CItemList& list, size_t index)
{
    return dynamic_cast<const CJavaItem&>(list.GetAt(index));
}

CJavaItem Technology(const std::string& id, const std::string& docRoot = "D/")
{
    return CJavaItem(ITEM_GROUP, id, id, docRoot, "", "", "");
}

CJavaItem Package(const std::string& technology, const std::string& package, const std::string& docRoot = "D/")
{
    return CJavaItem(ITEM_SUBGROUP, package, technology, docRoot, package, "", "");
}
}  // namespace

class JavaItemDataManager : public ::testing::Test
{
protected:
    JavaItemDataManager()
    {
        m_registry.Set("ComponentWebServer", m_server.BaseUrl());
        WriteFileText(Data("Java/index.xml"), kIndex);
        WriteFileText(Data("preferences.xml"), kPreferences);
        m_server.Serve(kUtilPath, kPackage);
    }

    std::string Data(const std::string& name) const { return m_registry.DataDir() + "/" + name; }

    CTestRegistry m_registry;
    CJavaTestServer m_server;
    CHeadlessModalRunner m_runner{std::chrono::seconds(30)};
    CJavaItemDataManager m_manager{m_runner};
};

TEST_F(JavaItemDataManager, ListsShownTechnologiesSortedByDisplayText)
{
    CItemList list;
    ASSERT_TRUE(m_manager.ListJavaTechnologies(list));
    // "hidden" has show 0, "odd" a show other than "1", the quote none; "SWING" does not
    // name "swing"; "access" has no entry.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Accessibility", "beta", "JDK 1.2", "swing set"}));
    const CJavaItem& jdk = JavaAt(list, 2);
    EXPECT_EQ(jdk.GetKind(), ITEM_GROUP);
    EXPECT_EQ(jdk.GetTechnology(), "jdk");
    EXPECT_EQ(jdk.GetDocRoot(), "http://docs.example/api/");
    EXPECT_EQ(jdk.GetPackage(), "");
    EXPECT_TRUE(jdk.HasChildren());

    std::map<std::string, bool> shown;
    ASSERT_TRUE(m_manager.ListDisplayTechnologies(shown));
    EXPECT_EQ(shown, (std::map<std::string, bool>{{"hidden", false},
                                                  {"odd", false},
                                                  {"jdk", true},
                                                  {"twice", true},
                                                  {"SWING", false},
                                                  {"q\"uote", false}}));
}

TEST_F(JavaItemDataManager, WithoutPreferencesEveryTechnologyIsShown)
{
    std::filesystem::remove(Data("preferences.xml"));
    std::map<std::string, bool> shown;
    EXPECT_FALSE(m_manager.ListDisplayTechnologies(shown));
    EXPECT_TRUE(shown.empty());
    CItemList list;
    ASSERT_TRUE(m_manager.ListJavaTechnologies(list));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Aardvark", "Accessibility", "beta", "JDK 1.2", "Quote",
                                                     "swing set", "Zeta"}));

    WriteFileText(Data("preferences.xml"), "<preferences><javatab>");  // torn file
    ASSERT_TRUE(m_manager.ListJavaTechnologies(list));
    EXPECT_EQ(list.GetCount(), 7u);
}

TEST_F(JavaItemDataManager, AMissingIndexFailsOnceAndIsNotRetried)
{
    std::filesystem::remove(Data("Java/index.xml"));
    CItemList list;
    EXPECT_FALSE(m_manager.ListJavaTechnologies(list));
    EXPECT_TRUE(list.IsEmpty());
    WriteFileText(Data("Java/index.xml"), kIndex);
    EXPECT_TRUE(m_manager.ListJavaTechnologies(list));
    EXPECT_TRUE(list.IsEmpty());
    CJavaItemDataManager fresh(m_runner);
    EXPECT_TRUE(fresh.ListJavaTechnologies(list));
    EXPECT_EQ(list.GetCount(), 4u);
}

TEST_F(JavaItemDataManager, ListsPackagesOfATechnology)
{
    CItemList list;
    list.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "stale"));
    ASSERT_TRUE(m_manager.ListChildItems(Technology("jdk", "R/"), list));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"java.lang", "java.util"}));
    const CJavaItem& lang = JavaAt(list, 0);
    EXPECT_EQ(lang.GetKind(), ITEM_SUBGROUP);
    EXPECT_EQ(lang.GetTechnology(), "jdk");
    EXPECT_EQ(lang.GetDocRoot(), "R/");
    EXPECT_EQ(lang.GetPackage(), "java.lang");
    EXPECT_EQ(lang.GetClass(), "");
    EXPECT_TRUE(lang.HasChildren());

    // An identifier with a quote selects its own packages and nothing else.
    ASSERT_TRUE(m_manager.ListChildItems(Technology("q\"uote"), list));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"q.one"}));
    ASSERT_TRUE(m_manager.ListChildItems(Technology("unknown"), list));
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(JavaItemDataManager, ListsClassesFetchedOnceAndKept)
{
    CItemList list;
    ASSERT_TRUE(m_manager.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"abstractList", "AbstractList", "Deep", "HashMap", "Map.Entry",
                                                     "Outer.Inner"}));
    const CJavaItem& entry = JavaAt(list, 4);
    EXPECT_EQ(entry.GetKind(), ITEM_LEAF);
    EXPECT_EQ(entry.GetClass(), "Map.Entry");
    EXPECT_EQ(entry.GetPackage(), "java.util");
    EXPECT_EQ(entry.GetTechnology(), "jdk");
    EXPECT_EQ(entry.GetDocRoot(), "D/");
    EXPECT_FALSE(entry.HasChildren());
    EXPECT_EQ(m_server.Requests(), (std::vector<std::string>{std::string("GET ") + kUtilPath}));
    EXPECT_TRUE(std::filesystem::is_regular_file(Data("Java/jdk/java.util.xml")));

    ASSERT_TRUE(m_manager.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_EQ(list.GetCount(), 6u);
    CJavaItemDataManager fresh(m_runner);
    ASSERT_TRUE(fresh.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_EQ(list.GetCount(), 6u);
    EXPECT_EQ(m_server.Requests().size(), 1u);
}

TEST_F(JavaItemDataManager, AFailedFetchWritesNothingAndIsTriedAgain)
{
    m_server.Serve("/xql.dll/vantrel/java/data/jdk/torn.xml", "<package><class><className>A</className>");
    CItemList list;
    for (const char* package : {"missing", "missing", "torn"}) {
        EXPECT_FALSE(m_manager.ListChildItems(Package("jdk", package), list)) << package;
        EXPECT_TRUE(list.IsEmpty());
    }
    EXPECT_EQ(m_server.Requests().size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(Data("Java/jdk")));

    m_registry.Set("ComponentWebServer", "http://127.0.0.1:1");  // nobody listens
    EXPECT_FALSE(m_manager.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_FALSE(std::filesystem::exists(Data("Java/jdk")));

    // A server that drips two bytes a second holds the expansion no longer than HttpDeadline.
    CRawHttpServer drip([](CRawHttpServer& server, int fd, const std::string&) {
        bool more = CRawHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n<package>");
        while (more && server.Pause(std::chrono::milliseconds(500)))
            more = CRawHttpServer::Send(fd, "  ");
    });
    m_registry.Set("ComponentWebServer", "http://127.0.0.1:" + std::to_string(drip.Port()));
    m_registry.Set("HttpDeadline", "2");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_manager.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    EXPECT_FALSE(std::filesystem::exists(Data("Java/jdk")));
}

TEST_F(JavaItemDataManager, AnInterruptedWriteLeavesNoPackageFile)
{
    // The disk fills up halfway through the package file.
    CItemList list;
    bool listed = true;
    {
        CSwappedCall full(sys::Calls().write, [](int fd, const void* buffer, size_t size) -> ssize_t {
            if (size > 16)
                return ::write(fd, buffer, 16);
            errno = ENOSPC;
            return -1;
        });
        listed = m_manager.ListChildItems(Package("jdk", "java.util"), list);
    }
    EXPECT_FALSE(listed);
    EXPECT_TRUE(std::filesystem::is_empty(Data("Java/jdk")));

    ASSERT_TRUE(m_manager.ListChildItems(Package("jdk", "java.util"), list));
    EXPECT_EQ(list.GetCount(), 6u);
    EXPECT_EQ(m_server.Requests().size(), 2u);
}

TEST_F(JavaItemDataManager, HostileNamesNeverBecomeLocalPaths)
{
    // The data directory sits one level down, so that an escape would land in outer.
    CTempDir outer;
    std::filesystem::create_directories(outer.File("data/Java"));
    m_registry.Set("Data", outer.File("data"));
    WriteFileText(outer.File("data/Java/index.xml"), R"(<javatab>
        <technology name="../../outside" display="Evil" docroot=""><package name="pkg"/></technology>
        </javatab>)");
    m_server.ServeAnythingElse(kPackage);
    auto files = [&] {
        std::set<std::string> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(outer.Path()))
            found.insert(entry.path().string());
        return found;
    };
    const std::set<std::string> before = files();

    CItemList technologies;
    ASSERT_TRUE(m_manager.ListJavaTechnologies(technologies));
    ASSERT_EQ(technologies.GetCount(), 1u);
    CItemList packages;
    ASSERT_TRUE(m_manager.ListChildItems(technologies.GetAt(0), packages));
    ASSERT_EQ(packages.GetCount(), 1u);
    CItemList classes;
    EXPECT_FALSE(m_manager.ListChildItems(packages.GetAt(0), classes));

    const std::pair<std::string, std::string> cases[] = {
        {"..", "index"},          {".", "index"},      {"", "pkg"},        {"/tmp/abs", "pkg"},
        {"a\\b", "pkg"},          {"a/b", "pkg"},      {"x..y", "pkg"},    {std::string("a\0b", 3), "pkg"},
        {"jdk", "../../escape"},  {"jdk", ".."},       {"jdk", "a/b"},     {"jdk", std::string("p\0q", 3)},
        {"jdk", ""},              {"jdk", "..\\up"},
    };
    for (const auto& [technology, package] : cases) {
        EXPECT_FALSE(m_manager.ListChildItems(Package(technology, package), classes)) << technology << " " << package;
        EXPECT_TRUE(classes.IsEmpty());
    }
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(files(), before);
}

TEST_F(JavaItemDataManager, ListChildItemsByKind)
{
    CItemList list;
    for (std::int32_t kind : {0, 2, 5}) {
        list.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "stale"));
        EXPECT_TRUE(m_manager.ListChildItems(CJavaItem(kind, "x", "jdk", "", "java.util", "", ""), list)) << kind;
        EXPECT_TRUE(list.IsEmpty()) << kind;
    }
    for (std::int32_t kind : {1, 6, -1}) {
        list.Append(std::make_unique<CTreeItem>(ITEM_LEAF, "stale"));
        EXPECT_FALSE(m_manager.ListChildItems(CJavaItem(kind, "x", "jdk", "", "java.util", "", ""), list)) << kind;
        EXPECT_TRUE(list.IsEmpty()) << kind;
    }
    // A record that is not a Java record has no technology to list.
    EXPECT_FALSE(m_manager.ListChildItems(CTreeItem(ITEM_GROUP, "jdk"), list));
    EXPECT_TRUE(m_server.Requests().empty());
}

TEST_F(JavaItemDataManager, ItemURLs)
{
    const std::string s = "http://web.example:8380";
    m_registry.Set("ComponentWebServer", s);
    const std::string data = s + "/xql.dll/vantrel/java/data/";
    struct CCase
    {
        std::shared_ptr<CTreeItem> item;
        bool ok;
        std::string url;
    };
    auto java = [](std::int32_t kind, const char* technology, const char* docRoot, const char* package,
                   const char* className, const char* member) {
        return std::make_shared<CJavaItem>(kind, "name", technology, docRoot, package, className, member);
    };
    const CCase cases[] = {
        {std::make_shared<CTreeItem>(ITEM_BLANK, "x"), true, "about:blank"},
        {std::make_shared<CTreeItem>(ITEM_SEARCH, "Search Results"), true, s + "/vantrel/javatab/search.jsp"},
        {java(3, "jdk", "D/", "", "", ""), true, s + "/vantrel/javatab/technology/jdk.jsp"},
        {java(3, "", "D/", "", "", ""), true, "about:blank"},
        {java(4, "jdk", "http://docs/api/", "java.lang", "", ""), true,
         data + "jdk/java.lang.xml?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl"
                "&packagename=java.lang&packagelink=http://docs/api/java/lang/package-summary.html"},
        {java(4, "", "D/", "java.lang", "", ""), false, "unchanged"},
        {java(5, "jdk", "D/", "java.lang", "String", ""), true, "D/java/lang/String.html"},
        {java(5, "jdk", "D/", "java.lang", "String", "substring(int, int)"), true,
         "D/java/lang/String.html#substring(int,+int)"},
        {java(5, "jdk", "D/", "java.util", "Map.Entry", ""), true, "D/java/util/Map.Entry.html"},
        {java(5, "swing", "", "javax.swing", "JButton", ""), true,
         data + "swing/javax.swing.xml?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/"
                "java-class-all.xsl&xmlpage=javax.swing.xml&fullyqualified=javax.swing.JButton"},
        {java(5, "swing", "", "javax.swing", "JButton", "setText(java.lang.String a, int b)"), true,
         data + "swing/javax.swing.xml?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/"
                "java-class-all.xsl&xmlpage=javax.swing.xml&fullyqualified=javax.swing.JButton"
                "#setText(java.lang.String+a,+int+b)"},
        {java(5, "", "D/", "java.lang", "String", ""), false, "unchanged"},
        {java(7, "jdk", "D/", "java.lang", "String", ""), false, "unchanged"},
        {java(-1, "jdk", "D/", "java.lang", "String", ""), false, "unchanged"},
        {std::make_shared<CTreeItem>(ITEM_LEAF, "String"), false, "unchanged"},
    };
    for (const CCase& c : cases) {
        std::string url = "unchanged";
        EXPECT_EQ(m_manager.GetItemURL(*c.item, url), c.ok) << c.url;
        EXPECT_EQ(url, c.url);
    }
}

TEST_F(JavaItemDataManager, VersionText)
{
    const struct
    {
        std::uint32_t ms;
        std::uint32_t ls;
        const char* text;
    } cases[] = {
        {0x00010002, 0x00000005, "1.2.5"},
        {0x00010002, 0x00030004, "1.2.196612"},
        {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.-1"},
        {0, 0, "0.0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CJavaItemDataManager::FormatVersionText(c.ms, c.ls), c.text);
    // This test program carries no version block.
    EXPECT_EQ(CJavaItemDataManager::GetVersionText(), "0.0.0");
}

class JavaItemDataManagerUpdate : public JavaItemDataManager
{
protected:
    JavaItemDataManagerUpdate()
    {
        m_registry.Set("DistributionServer", "127.0.0.1:" + std::to_string(m_server.Port()));
        m_server.Serve("/public/data/java/index.xml", kNewIndex, "Wed, 21 Oct 2015 07:28:00 GMT");
    }

    static constexpr const char* kNewIndex =
        R"(<javatab><technology name="new" display="New" docroot=""/></javatab>)";
};

TEST_F(JavaItemDataManagerUpdate, ReplacesTheIndexWhenTheServerHasANewerOne)
{
    CItemList list;
    ASSERT_TRUE(m_manager.ListJavaTechnologies(list));
    EXPECT_TRUE(m_manager.UpdateIndex());
    EXPECT_EQ(ReadFileText(Data("Java/index.xml")), kNewIndex);
    EXPECT_FALSE(std::filesystem::exists(Data("Java/index.xml_new")));
    EXPECT_EQ(m_server.GetTargets(), (std::vector<std::string>{"/public/data/java/index.xml"}));

    // The loaded index stays; the next manager reads the new one.
    ASSERT_TRUE(m_manager.ListJavaTechnologies(list));
    EXPECT_EQ(list.GetCount(), 4u);
    CJavaItemDataManager fresh(m_runner);
    ASSERT_TRUE(fresh.ListJavaTechnologies(list));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"New"}));

    // Unchanged on the server: asked, not fetched again.
    m_server.ClearRequests();
    EXPECT_TRUE(fresh.UpdateIndex());
    EXPECT_EQ(m_server.Requests(), (std::vector<std::string>{"HEAD /public/data/java/index.xml"}));
}

TEST_F(JavaItemDataManagerUpdate, OfflineModeAndFailuresKeepTheOldIndex)
{
    m_registry.Set("OfflineMode", "1");
    EXPECT_TRUE(m_manager.UpdateIndex());
    EXPECT_TRUE(m_server.Requests().empty());
    EXPECT_EQ(ReadFileText(Data("Java/index.xml")), kIndex);

    m_registry.Set("OfflineMode", "0");
    m_registry.Set("DistributionPath", "/elsewhere");
    EXPECT_TRUE(m_manager.UpdateIndex());
    EXPECT_FALSE(m_server.Requests().empty());
    m_registry.Set("DistributionServer", "127.0.0.1:1");
    EXPECT_TRUE(m_manager.UpdateIndex());
    EXPECT_EQ(ReadFileText(Data("Java/index.xml")), kIndex);
    EXPECT_FALSE(std::filesystem::exists(Data("Java/index.xml_new")));
}
