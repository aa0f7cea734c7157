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
#include "TestArchives.h"
#include "XmlDocument.h"
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
    std::int32_t status = 0;
    Strings names;
    Strings results;
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

    // The lookup server knows className as part of the components scids.
    void Know(const std::string& className, const Strings& scids)
    {
        std::string prefix;
        size_t start = 0;
        for (size_t dot = className.find('.'); dot != std::string::npos; dot = className.find('.', start)) {
            m_lookup.Count({className.substr(0, dot + 1)}, 1);
            start = dot + 1;
        }
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

    // Runs a whole scan, collecting the messages it posts; stopAfter cancels the scan once
    // that many messages have arrived.
    CScanOutcome Scan(const std::string& classPath, bool direct = true, int stopAfter = -1)
    {
        CScanOutcome outcome;
        CMessageQueue queue;
        CClassPathScanThread scan(m_cache);
        scan.SetClassPath(classPath);
        scan.SetDirectMode(direct);
        scan.SetTargetWindow(queue.GetHandle());
        scan.SetLookupTimeLimit(2s);
        outcome.threadId = scan.Start();
        EXPECT_NE(outcome.threadId, 0u);
        CMessage message;
        while (queue.GetMessage(message, 30s)) {
            outcome.messages.push_back(message);
            if (static_cast<int>(outcome.messages.size()) == stopAfter)
                scan.Stop();
            if (message.message == WM_SCAN_FINISHED)
                break;
        }
        scan.Shutdown();
        outcome.status = scan.GetStatus();
        outcome.names = scan.GetNames();
        outcome.results = scan.GetResults();
        return outcome;
    }

    std::string IndexPath() const { return m_registry.DataDir() + "/Local/components.xml"; }

    // The index's components as "scid:name" in document order, with the root's name first.
    Strings ReadIndex(const std::string& path)
    {
        CXmlDocument document;
        if (!document.Load(path))
            return {"unreadable"};
        Strings content{document.GetDocumentElement().GetNodeName()};
        for (CXmlNode child = document.GetDocumentElement().GetFirstChild(); child; child = child.GetNextSibling()) {
            content.push_back(child.GetNodeName() + ":" + child.GetFirstChild().GetFirstChild().GetNodeValue().value_or("") +
                              ":" + child.GetFirstChild().GetNextSibling().GetFirstChild().GetNodeValue().value_or(""));
        }
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

TEST_F(CClassPathScanThreadTest, ElementsAreArchivesOnlyByTheirFourEndings)
{
    MakeArchive(m_files.File("a.jar"), {"com/acme/A.class"});
    MakeArchive(m_files.File("b.ZIP"), {"com/acme/B.class"});
    MakeArchive(m_files.File("c.JAR"), {"com/acme/C.class"});
    MakeArchive(m_files.File("d.zip"), {"com/acme/D.class"});
    MakeArchive(m_files.File("e.Jar"), {"com/acme/E.class"});  // a directory by its name: yields nothing
    WriteFileText(Dir("classes") + "/X.class", "");
    WriteFileText(Dir("folder.jar") + "/Y.class", "");  // an archive by its name, and unreadable
    WriteFileText(Dir("cls") + "/Q.class", "");
    WriteFileText(Dir(".jar") + "/R.class", "");

    CWorkingDirectory here(m_files.Path());
    testing::internal::CaptureStdout();
    CScanOutcome outcome = Scan("a.jar:b.ZIP:c.JAR:d.zip:e.Jar:classes:folder.jar:cls:.jar");
    std::string output = testing::internal::GetCapturedStdout();

    // Four characters or fewer always name a directory.
    EXPECT_EQ(outcome.names,
              (Strings{"Q.class", "R.class", "X.class", "com.acme.A", "com.acme.B", "com.acme.C", "com.acme.D"}));
    EXPECT_EQ(output, "Not a zip archive\n");
}

TEST_F(CClassPathScanThreadTest, DirectoriesAreWalkedForBareClassFileNames)
{
    std::string classes = Dir("classes");
    WriteFileText(classes + "/Top.class", "");
    WriteFileText(Dir("classes/com/acme") + "/Deep.class", "");
    WriteFileText(classes + "/com/acme/Deep$Inner.class", "");
    WriteFileText(classes + "/com/acme/notes.txt", "");
    WriteFileText(classes + "/com/acme/Old.class.bak", "");
    Dir("classes/empty");
    // Links back up the tree must not be followed round and round.
    std::filesystem::create_directory_symlink("..", classes + "/com/acme/up");
    std::filesystem::create_directory_symlink(".", classes + "/self");

    CScanOutcome outcome = Scan(classes + ":" + m_files.File("missing") + ":" + classes + "/Top.class");
    EXPECT_EQ(outcome.names, (Strings{"Deep$Inner.class", "Deep.class", "Top.class"}));
}

TEST_F(CClassPathScanThreadTest, EmptyElementsAreSkipped)
{
    std::string classes = Dir("classes");
    WriteFileText(classes + "/A.class", "");
    auto start = std::chrono::steady_clock::now();
    CScanOutcome outcome = Scan("::" + classes + "::");
    EXPECT_EQ(outcome.names, Strings{"A.class"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(CClassPathScanThreadTest, EveryNameIsLookedUpAndEveryOccurrenceSaved)
{
    MakeArchive(m_files.File("kit.jar"),
                {"META-INF/MANIFEST.MF", "com/acme/util/Parser.class", "com/acme/util/Parser$Node.class",
                 "com/acme/util/Lexer.class", "org/other/Thing.class"});
    Know("com.acme.util.Parser", {"7"});
    Know("com.acme.util.Lexer", {"8", "7"});
    Catalogue("7", "<components>" + Component("7", "Parser Kit") + "</components>");
    Catalogue("8", "<result>" + Component("8", "Lexer Kit") + "<other/></result>");

    CScanOutcome outcome = Scan(m_files.File("kit.jar"));

    EXPECT_EQ(outcome.names,
              (Strings{"com.acme.util.Lexer", "com.acme.util.Parser", "com.acme.util.Parser", "org.other.Thing"}));
    EXPECT_EQ(outcome.results, (Strings{"8", "7", "7", "7"}));
    Strings requests = m_lookup.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "GETSCID com.acme.util.Parser"), 2);
    EXPECT_EQ(CatalogueRequests(), (Strings{std::string(kCatalogueTarget) + "8", std::string(kCatalogueTarget) + "7",
                                            std::string(kCatalogueTarget) + "7", std::string(kCatalogueTarget) + "7"}));
    EXPECT_EQ(ReadIndex(IndexPath()), (Strings{"components", "component:8:Lexer Kit", "component:7:Parser Kit",
                                               "component:7:Parser Kit", "component:7:Parser Kit"}));
}

TEST_F(CClassPathScanThreadTest, PostsStartedProgressAndFinishedToTheDialog)
{
    std::string classes = Dir("classes");
    for (const char* name : {"A.class", "B.class", "C.class"})
        WriteFileText(classes + "/" + name, "");
    CScanOutcome outcome = Scan(classes);

    ASSERT_EQ(outcome.messages.size(), 6u);
    EXPECT_EQ(outcome.messages.front().message, WM_SCAN_STARTED);
    EXPECT_EQ(outcome.messages.front().lParam, 3);
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(outcome.messages[i].message, WM_SCAN_PROGRESS);
        EXPECT_EQ(outcome.messages[i].lParam, 0);
    }
    EXPECT_EQ(outcome.messages.back().message, WM_SCAN_FINISHED);
    for (const CMessage& message : outcome.messages)
        EXPECT_EQ(message.wParam, outcome.threadId);
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

TEST_F(CClassPathScanThreadTest, ExistingRootElementAndItsAttributesStay)
{
    MakeArchive(m_files.File("kit.jar"), {"com/acme/A.class"});
    Know("com.acme.A", {"5"});
    Catalogue("5", "<components>" + Component("5", "A Kit") + "</components>");
    WriteFileText(IndexPath(), "<mine version=\"2\"><!-- note -->" + Component("1", "Old") + "text</mine>");

    Scan(m_files.File("kit.jar"));
    CXmlDocument index;
    ASSERT_TRUE(index.Load(IndexPath()));
    EXPECT_EQ(index.GetDocumentElement().GetAttribute("version"), "2");
    EXPECT_EQ(ReadIndex(IndexPath()), (Strings{"mine", "component:5:A Kit"}));
}

TEST_F(CClassPathScanThreadTest, UnreadableOldIndexAndEmptyResultGiveAnEmptyRoot)
{
    WriteFileText(IndexPath(), "<components><component>");  // not well-formed
    CScanOutcome outcome = Scan(Dir("nothing"));
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_EQ(ReadIndex(IndexPath()), Strings{"components"});
    EXPECT_EQ(ReadFileText(IndexPath()).find("<component>"), std::string::npos);
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
    // Nothing was learnt, so a later scan with the server back asks again.
    EXPECT_EQ(m_cache.GetSize(), 0u);
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
    m_catalogueRequests.clear();
    Scan(m_files.File("kit.jar"));
    EXPECT_EQ(ReadFileText(IndexPath()), old);
}

TEST_F(CClassPathScanThreadTest, CancelLeavesTheOutputUntouched)
{
    std::string classes = Dir("classes");
    for (int i = 0; i < 200; ++i)
        WriteFileText(classes + "/C" + std::to_string(i) + ".class", "");
    const std::string old = "<components>" + Component("1", "Old") + "</components>\n";
    WriteFileText(IndexPath(), old);

    auto start = std::chrono::steady_clock::now();
    CScanOutcome outcome = Scan(classes, true, 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(outcome.status, -1);
    EXPECT_LT(outcome.messages.size(), 20u);
    EXPECT_EQ(outcome.messages.back().message, WM_SCAN_FINISHED);
    EXPECT_EQ(ReadFileText(IndexPath()), old);
    EXPECT_FALSE(std::filesystem::exists(IndexPath() + "_new"));
}

TEST_F(CClassPathScanThreadTest, MissingLocalFolderIsCreated)
{
    std::filesystem::remove_all(m_registry.DataDir() + "/Local");
    Scan(Dir("nothing"));
    EXPECT_EQ(ReadIndex(IndexPath()), Strings{"components"});
}
