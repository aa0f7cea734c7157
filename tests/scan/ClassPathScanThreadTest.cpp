#include "ClassPathScanThread.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "MessageQueue.h"
#include "Messages.h"
#include "ScriptedLookupServer.h"
#include "support/TestArchives.h"
#include "XmlDocument.h"
#include "support/ProxyProcess.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

namespace
{
constexpr const char* kCatalogueTarget =
    "/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/categorybyscid.xsl&scid=";

std::string Component(const std::string& scid, const std::string& name)
{
    return "<component><scid>" + scid + "</scid><name>" + name + "</name></component>";
}

struct CScanOutcome
{
    std::vector<CMessage> messages;
    std::uint32_t threadId = 0;
    Strings names;
    Strings results;
    Strings components;  // "SCID: path match classes; ..."
    size_t lookupRequests = 0;
};

// Changes the working directory for one test.
class CWorkingDirectory
{
public:
    explicit CWorkingDirectory(const std::string& path) : m_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~CWorkingDirectory() { std::filesystem::current_path(m_saved); }

private:
    std::filesystem::path m_saved;
};

class CClassPathScanThreadTest : public ::testing::Test
{
protected:
    CClassPathScanThreadTest()
    {
        m_registry.Set("ComponentDatabase", "127.0.0.1:" + std::to_string(m_lookup.Port()));
        m_http.Server().Get("/xql.dll/components/vendors/components.bnd",
                            [this](const httplib::Request& request, httplib::Response& response) {
                                std::lock_guard lock(m_mutex);
                                m_catalogueRequests.push_back(request.target);
                                auto found = m_catalogue.find(request.get_param_value("scid"));
                                if (found == m_catalogue.end()) {
                                    response.status = 404;
                                    return;
                                }
                                response.set_content(found->second, "text/xml");
                            });
        m_http.Start();
        m_registry.Set("ComponentWebServer", "http://127.0.0.1:" + std::to_string(m_http.Port()));
    }

    // The lookup server finds className in the components scids.
    void Know(const std::string& className, const Strings& scids)
    {
        for (size_t dot = className.find('.'); dot != std::string::npos; dot = className.find('.', dot + 1))
            m_lookup.Count({className.substr(0, dot + 1)}, 1);
        m_lookup.Count({className}, 1);
        std::string reply;
        for (const std::string& scid : scids)
            reply += "200 " + scid + "\n";
        m_lookup.Answer("GETSCID " + className, reply + "201\n");
    }

    void Catalogue(const std::string& scid, const std::string& body)
    {
        std::lock_guard lock(m_mutex);
        m_catalogue[scid] = body;
    }

    Strings CatalogueRequests()
    {
        std::lock_guard lock(m_mutex);
        return m_catalogueRequests;
    }

    // Runs a whole scan, collecting the messages it posts.
    CScanOutcome Scan(const std::string& classPath, bool direct = true, const Strings& locations = {})
    {
        CScanOutcome outcome;
        CMessageQueue queue;
        CWorker<CClassPathScanThread> scan(m_cache);
        scan.SetClassPath(classPath);
        scan.SetLocations(locations);
        scan.SetDirectMode(direct);
        scan.SetTargetWindow(queue.GetHandle());
        scan.SetLookupTimeLimit(2s);
        outcome.threadId = scan.Start();
        EXPECT_NE(outcome.threadId, 0u);
        outcome.messages = CollectMessages(queue, WM_SCAN_FINISHED, 30s);
        scan.Shutdown();
        outcome.names = scan.GetNames();
        outcome.results = scan.GetResults();
        for (const CFoundComponent& component : scan.GetComponents()) {
            std::string line = component.scid + ":";
            for (const CFind& find : component.finds)
                line += " " + find.path.substr(m_files.Path().size() + 1) + " " + MatchName(find.match) + " " +
                        std::to_string(find.classes) + ";";
            outcome.components.push_back(line);
        }
        outcome.lookupRequests = scan.GetLookupRequests();
        return outcome;
    }

    std::string IndexPath() const { return m_registry.DataDir() + "/Local/components.xml"; }

    // The root element's name, then each child as "element:scid:name", in document order.
    Strings ReadIndex(const std::string& path)
    {
        CXmlDocument document;
        if (!document.Load(path))
            return {"unreadable"};
        auto text = [](const CXmlNode& node) { return node.GetFirstChild().GetNodeValue().value_or(""); };
        Strings content{document.GetDocumentElement().GetNodeName()};
        for (CXmlNode child = document.GetDocumentElement().GetFirstChild(); child; child = child.GetNextSibling())
            content.push_back(child.GetNodeName() + ":" + text(child.GetFirstChild()) + ":" +
                              text(child.GetFirstChild().GetNextSibling()));
        return content;
    }

    std::string Dir(const std::string& name)
    {
        std::filesystem::create_directories(m_files.File(name));
        return m_files.File(name);
    }

    CTestRegistry m_registry;
    CTempDir m_files;
    CScriptedLookupServer m_lookup;
    CRecordingHttpServer m_http;
    CPrefixCache m_cache;
    std::mutex m_mutex;
    std::map<std::string, std::string> m_catalogue;
    Strings m_catalogueRequests;
};
}  // namespace

TEST_F(CClassPathScanThreadTest, ClassPathElements)
{
    MakeArchive(m_files.File("a.jar"), {"com/acme/A.class"});
    MakeArchive(m_files.File("b.ZIP"), {"com/acme/B.class"});
    MakeArchive(m_files.File("c.JAR"), {"com/acme/C.class"});
    MakeArchive(m_files.File("d.zip"), {"com/acme/D.class"});
    MakeArchive(m_files.File("e.Jar"), {"com/acme/E.class"});  // a directory by its name: yields nothing
    MakeArchive(m_files.File("manifest.jar"), {"META-INF/MANIFEST.MF"});
    WriteFileText(Dir("classes") + "/X.class", ClassFileBytes("X"));
    WriteFileText(Dir("folder.jar") + "/Y.class", ClassFileBytes("Y"));  // an archive by its name, and unreadable
    WriteFileText(Dir("cls") + "/Q.class", ClassFileBytes("Q"));
    WriteFileText(Dir(".jar") + "/R.class", ClassFileBytes("R"));  // four characters: a directory

    CWorkingDirectory here(m_files.Path());
    testing::internal::CaptureStdout();
    // Empty elements are skipped: they would walk the file system from its root.
    auto start = std::chrono::steady_clock::now();
    CScanOutcome outcome = Scan("::a.jar:b.ZIP:c.JAR:d.zip:e.Jar:manifest.jar:classes:folder.jar:cls:.jar::");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Not a zip archive\n");
    EXPECT_EQ(outcome.names, (Strings{"Q", "R", "X", "com.acme.A", "com.acme.B", "com.acme.C", "com.acme.D"}));
}

TEST_F(CClassPathScanThreadTest, DirectoriesAreNamedByTheClassesTheirFilesDeclare)
{
    std::string classes = Dir("classes");
    WriteFileText(classes + "/Top.class", ClassFileBytes("Top"));
    WriteFileText(Dir("classes/com/acme") + "/Deep.class", ClassFileBytes("com/acme/Deep"));
    WriteFileText(classes + "/com/acme/Deep$Inner.class", ClassFileBytes("com/acme/Deep$Inner"));
    WriteFileText(classes + "/com/acme/Renamed.class", ClassFileBytes("org/other/Moved"));
    WriteFileText(classes + "/com/acme/Empty.class", "");  // not a class file
    WriteFileText(classes + "/com/acme/notes.txt", "");
    WriteFileText(classes + "/com/acme/Old.class.bak", ClassFileBytes("com/acme/Old"));
    Dir("classes/empty");
    // Links back up the tree must not be followed round and round.
    std::filesystem::create_directory_symlink("..", classes + "/com/acme/up");
    std::filesystem::create_directory_symlink(".", classes + "/self");

    CScanOutcome outcome = Scan(classes + ":" + m_files.File("missing") + ":" + classes + "/Top.class");
    EXPECT_EQ(outcome.names, (Strings{"Top", "com.acme.Deep", "com.acme.Deep", "org.other.Moved"}));
}

TEST_F(CClassPathScanThreadTest, CancelDuringTheWalkEndsItAndWritesNothing)
{
    const std::string tree = Dir("tree");
    for (int i = 0; i < 3000; ++i)
        WriteFileText(Dir("tree/d" + std::to_string(i)) + "/C.class", ClassFileBytes("C" + std::to_string(i)));
    CWorker<CClassPathScanThread> scan(m_cache);
    scan.SetClassPath(tree);
    ASSERT_NE(scan.Start(), 0u);
    scan.Stop();
    scan.Shutdown();
    EXPECT_LT(scan.GetNames().size(), 3000u);
    EXPECT_FALSE(std::filesystem::exists(IndexPath()));
}

TEST_F(CClassPathScanThreadTest, EveryNameIsLookedUpAndEveryOccurrenceSaved)
{
    // A versioned copy of a class adds no occurrence; a module descriptor none at all.
    MakeArchive(m_files.File("kit.jar"),
                {"META-INF/versions/9/com/acme/util/Parser.class", "META-INF/versions/9/module-info.class",
                 "com/acme/util/Parser.class", "com/acme/util/Parser$Node.class", "com/acme/util/Lexer.class",
                 "org/other/Thing.class"});
    Know("com.acme.util.Parser", {"7"});
    Know("com.acme.util.Lexer", {"8", "7"});
    Catalogue("7", "<components>" + Component("7", "Parser Kit") + "</components>");
    Catalogue("8", "<result>" + Component("8", "Lexer Kit") + "<other/></result>");

    CScanOutcome outcome = Scan(m_files.File("kit.jar"));

    EXPECT_EQ(outcome.names,
              (Strings{"com.acme.util.Lexer", "com.acme.util.Parser", "com.acme.util.Parser", "org.other.Thing"}));
    EXPECT_EQ(outcome.results, (Strings{"8", "7", "7", "7"}));
    // A repeated name is asked once and each component's entry fetched once ...
    Strings requests = m_lookup.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GETSCID com.acme.util.Parser"), 1);
    EXPECT_EQ(CatalogueRequests(), (Strings{std::string(kCatalogueTarget) + "8", std::string(kCatalogueTarget) + "7"}));
    EXPECT_EQ(ReadIndex(IndexPath()), (Strings{"components", "component:8:Lexer Kit", "component:7:Parser Kit",
                                               "component:7:Parser Kit", "component:7:Parser Kit"}));
    // ... and the index is, byte for byte, one entry per SCID occurrence as fetched.
    CXmlDocument expected;
    ASSERT_TRUE(expected.LoadXml("<components/>"));
    CXmlDocument seven, eight;
    ASSERT_TRUE(seven.LoadXml("<components>" + Component("7", "Parser Kit") + "</components>"));
    ASSERT_TRUE(eight.LoadXml("<result>" + Component("8", "Lexer Kit") + "<other/></result>"));
    for (CXmlDocument* entry : {&eight, &seven, &seven, &seven})
        for (const CXmlNode& component : entry->GetElementsByTagName("component"))
            expected.GetDocumentElement().AppendChild(component);
    EXPECT_EQ(ReadFileText(IndexPath()), expected.GetXml());

    // Started with the number of names, one progress per step and the last, empty one.
    ASSERT_EQ(outcome.messages.size(), 7u);
    EXPECT_EQ(outcome.messages.front().message, WM_SCAN_STARTED);
    EXPECT_EQ(outcome.messages.front().lParam, 4);
    for (size_t i = 1; i < 6; ++i)
        EXPECT_EQ(outcome.messages[i].message, WM_SCAN_PROGRESS);
    EXPECT_EQ(outcome.messages.back().message, WM_SCAN_FINISHED);
    for (const CMessage& message : outcome.messages)
        EXPECT_EQ(message.wParam, outcome.threadId);
}

TEST_F(CClassPathScanThreadTest, LocationsFindNestedRelocatedAndClassTreeComponents)
{
    for (const char* name : {"com.acme.util.Parser", "com.acme.util.Lexer", "com.acme.util.Token"})
        Know(name, {"7"});
    Know("org.widgets.Button", {"8"});
    Know("org.widgets.Label", {"8"});
    Know("net.tree.Node", {"9"});
    Catalogue("7", "<components>" + Component("7", "Parser Kit") + "</components>");
    Catalogue("8", "<components>" + Component("8", "Widget Kit") + "</components>");
    Catalogue("9", "<components>" + Component("9", "Tree Kit") + "</components>");
    Dir("lib");
    MakeArchiveOf(m_files.File("lib/shop.war"),
                  {{"WEB-INF/classes/com/shop/Cart.class", "x"},
                   {"WEB-INF/lib/parser.jar",
                    ArchiveBytes({{"com/acme/util/Parser.class", "x"}, {"com/acme/util/Lexer.class", "x"}})},
                   {"WEB-INF/lib/widgets.jar", ArchiveBytes({{"META-INF/versions/9/org/widgets/Button.class", "x"},
                                                             {"META-INF/versions/9/module-info.class", "x"},
                                                             {"org/widgets/Button.class", "x"}})}});
    // A copy of the parser kit moved under "shaded.", beside the archive's own class; one of
    // its classes only in the multi-release part.
    MakeArchive(m_files.File("lib/uber.jar"), {"shaded/com/acme/util/Parser.class", "shaded/com/acme/util/Lexer.class",
                                               "META-INF/versions/11/shaded/com/acme/util/Token.class",
                                               "app/Main.class"});
    // An archive of its own whose one class happens to match once its first segment is cut.
    MakeArchive(m_files.File("lib/mine.jar"), {"mine/org/widgets/Label.class", "mine/a/One.class", "mine/a/Two.class",
                                               "mine/b/Three.class", "mine/b/Four.class"});
    WriteFileText(Dir("project/target/classes/net/tree") + "/Node.class", ClassFileBytes("net/tree/Node"));
    WriteFileText(m_files.File("project/target/classes/module-info.class"), ClassFileBytes("module-info"));
    WriteFileText(m_files.File("project/target/classes/net/tree/package-info.class"),
                  ClassFileBytes("net/tree/package-info"));

    CScanOutcome outcome = Scan("", true, {m_files.File("lib"), m_files.File("project/target/classes")});
    EXPECT_EQ(outcome.components,
              (Strings{"7: lib/shop.war!/WEB-INF/lib/parser.jar nested 2; lib/uber.jar relocated 3;",
                       "8: lib/shop.war!/WEB-INF/lib/widgets.jar nested 1;", "9: project/target/classes direct 1;"}));
    // Every distinct name is asked once, the relocated names after their cut too.
    Strings requests = m_lookup.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GETSCID com.acme.util.Parser"), 1);
    EXPECT_EQ(outcome.lookupRequests, requests.size());
    // Multi-release archives are looked up by their classes, descriptors not at all.
    for (const std::string& request : requests)
        for (const char* part : {"META-INF", " versions.", " 9.", " 11.", "module-info", "package-info"})
            EXPECT_EQ(request.find(part), std::string::npos) << request;
    EXPECT_EQ(CatalogueRequests().size(), 3u);

    CXmlDocument index;
    ASSERT_TRUE(index.Load(IndexPath()));
    auto places = index.GetDocumentElement().SelectNodes("component[scid=\"7\"]/foundIn");
    ASSERT_TRUE(places && places->GetLength() == 2);
    EXPECT_EQ(places->GetItem(1).GetAttribute("match"), "relocated");
    EXPECT_EQ(places->GetItem(1).GetAttribute("classes"), "3");
    EXPECT_EQ(places->GetItem(1).GetAttribute("path"), m_files.File("lib/uber.jar"));

    // The dialog's messages: a step per archive or tree, each named first.
    EXPECT_EQ(outcome.messages.front().lParam, 4);
    EXPECT_EQ(std::count_if(outcome.messages.begin(), outcome.messages.end(),
                            [](const CMessage& message) { return message.message == WM_SCAN_ITEM; }),
              4);
}

TEST_F(CClassPathScanThreadTest, DirectAndStagedOutputs)
{
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class"});
    Know("com.acme.A", {"5"});
    Catalogue("5", "<components>" + Component("5", "A Kit") + "</components>");
    WriteFileText(IndexPath(), "<components>" + Component("1", "Old") + "</components>");

    Scan(m_files.File("kit.jar"), false);
    EXPECT_EQ(ReadIndex(IndexPath()), (Strings{"components", "component:1:Old"}));
    EXPECT_EQ(ReadIndex(IndexPath() + "_new"), (Strings{"components", "component:5:A Kit"}));

    std::filesystem::remove(IndexPath() + "_new");
    Scan(m_files.File("kit.jar"), true);
    EXPECT_EQ(ReadIndex(IndexPath()), (Strings{"components", "component:5:A Kit"}));
    EXPECT_FALSE(std::filesystem::exists(IndexPath() + "_new"));
}

TEST_F(CClassPathScanThreadTest, PreviousIndexFiles)
{
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class"});
    Know("com.acme.A", {"5"});
    Catalogue("5", "<components>" + Component("5", "A Kit") + "</components>");
    const struct
    {
        const char* what;
        std::string previous;  // empty: no file, nor its folder
        Strings expected;
    } cases[] = {
        {"other root keeps its name and attributes",
         "<mine version=\"2\"><!-- note -->" + Component("1", "Old") + "text</mine>", {"mine", "component:5:A Kit"}},
        {"not well-formed", "<components><component>", {"components", "component:5:A Kit"}},
        {"missing, with its folder", "", {"components", "component:5:A Kit"}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(m_registry.DataDir() + "/Local");
        if (!c.previous.empty()) {
            std::filesystem::create_directory(m_registry.DataDir() + "/Local");
            WriteFileText(IndexPath(), c.previous);
        }
        Scan(m_files.File("kit.jar"));
        EXPECT_EQ(ReadIndex(IndexPath()), c.expected) << c.what;
        CXmlDocument index;
        ASSERT_TRUE(index.Load(IndexPath()));
        EXPECT_EQ(index.GetDocumentElement().GetAttribute("version").has_value(),
                  c.previous.find("version") != std::string::npos);
    }
}

TEST_F(CClassPathScanThreadTest, WithoutLookupServerTheIndexIsEmptied)
{
    int port = 0;
    {
        CScriptedLookupServer gone;
        port = gone.Port();
    }
    m_registry.Set("ComponentDatabase", "127.0.0.1:" + std::to_string(port));
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class"});
    WriteFileText(IndexPath(), "<components>" + Component("1", "Old") + "</components>");

    testing::internal::CaptureStdout();
    CScanOutcome outcome = Scan(m_files.File("kit.jar"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Socket Connect Error.\nSocket Fail\n");
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_EQ(ReadIndex(IndexPath()), Strings{"components"});
    EXPECT_EQ(m_cache.GetSize(), 0u);  // nothing learnt: the next scan asks again
}

TEST_F(CClassPathScanThreadTest, FailedCatalogueLoadKeepsTheOldIndex)
{
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class", "com/acme/B.class", "com/acme/C.class"});
    Know("com.acme.A", {"5"});
    Know("com.acme.B", {"6"});
    Know("com.acme.C", {"7"});
    Catalogue("5", "<components>" + Component("5", "A Kit") + "</components>");
    Catalogue("7", "<components>" + Component("7", "C Kit") + "</components>");
    const std::string old = "<components>" + Component("1", "Old") + "</components>\n";
    for (bool direct : {true, false}) {
        std::string path = direct ? IndexPath() : IndexPath() + "_new";
        WriteFileText(path, old);
        m_catalogueRequests.clear();
        Scan(m_files.File("kit.jar"), direct);
        EXPECT_EQ(ReadFileText(path), old);
        // Fetching ends at the failed entry.
        EXPECT_EQ(CatalogueRequests(), (Strings{std::string(kCatalogueTarget) + "5", std::string(kCatalogueTarget) + "6"}));
    }

    Catalogue("6", "<components><component>");  // answered, but not well-formed
    Scan(m_files.File("kit.jar"));
    EXPECT_EQ(ReadFileText(IndexPath()), old);
}

// Catalogue entries come through the firewall; a lookup reply that floods adds nothing.
TEST_F(CClassPathScanThreadTest, CatalogueThroughTheFirewallAndNothingFromAFlood)
{
    CProxyProcess proxy(CProxyKind::Tinyproxy);
    if (proxy.Missing())
        GTEST_SKIP() << proxy.Error();
    ASSERT_EQ(proxy.Error(), "");
    m_registry.Set("FirewallType", "3");
    m_registry.Set("FirewallHost", "127.0.0.1");
    m_registry.Set("FirewallPort", std::to_string(proxy.Port()));
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class", "com/acme/B.class"});
    Know("com.acme.A", {"5"});
    Know("com.acme.B", Strings(CLookupConnection::kMaxScids + 1, "6"));
    Catalogue("5", "<components>" + Component("5", "A Kit") + "</components>");
    Catalogue("6", "<components>" + Component("6", "B Kit") + "</components>");

    EXPECT_EQ(Scan(m_files.File("kit.jar")).results, Strings{"5"});
    EXPECT_EQ(CatalogueRequests(), Strings{std::string(kCatalogueTarget) + "5"});
    EXPECT_TRUE(proxy.WaitForLog("GET http://127.0.0.1:" + std::to_string(m_http.Port()) + kCatalogueTarget + "5"))
        << proxy.Log();
}
