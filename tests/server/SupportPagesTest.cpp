// Client ids, the support forms, the Testing upload page and the update files.
#include <gtest/gtest.h>

#include <filesystem>

#include <zip.h>

#include "DistributionFiles.h"
#include "TestDatabase.h"
#include "support/TestSite.h"

namespace
{
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// A real JAR built with libzip: the named entries, each holding a few bytes.
std::string MakeJar(const CTempDir& dir, const std::vector<std::string>& entries)
{
    std::string path = dir.File("upload.jar");
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    static const char kBytes[] = "\xCA\xFE\xBA\xBE";
    for (const auto& entry : entries) {
        zip_source_t* source = zip_source_buffer(zip, kBytes, 4, 0);
        zip_file_add(zip, entry.c_str(), source, ZIP_FL_OVERWRITE);
    }
    zip_close(zip);
    return ReadFileText(path);
}
}  // namespace

TEST(SupportPagesTest, ClientIdIsNewForZeroAndKeptOtherwise)
{
    CTestSite site;
    CTempDir state;
    std::string first;
    {
        CRunningServer server(site.Root(), 10, state.Path());
        auto fresh = server.Get("/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=0&email=ada@example.org");
        ASSERT_TRUE(fresh);
        EXPECT_EQ(fresh->status, 200);
        first = FirstLine(fresh->body);
        EXPECT_FALSE(first.empty());
        EXPECT_NE(first, "0");

        auto again = server.Get("/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=" + first + "&email=");
        ASSERT_TRUE(again);
        EXPECT_EQ(FirstLine(again->body), first);

        // An empty or malformed id counts as none.
        for (const char* id : {"", "abc", "12%0A34"}) {
            auto other = server.Get(std::string("/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=") + id + "&email=");
            ASSERT_TRUE(other);
            std::string given = FirstLine(other->body);
            EXPECT_NE(given, first) << id;
            EXPECT_EQ(given.find_first_not_of("0123456789"), std::string::npos) << given;
        }
    }
    // Ids survive a restart: the next new client gets a new one, never an old one.
    CRunningServer restarted(site.Root(), 10, state.Path());
    auto later = restarted.Get("/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=0&email=");
    ASSERT_TRUE(later);
    EXPECT_GT(std::stoull(FirstLine(later->body)), std::stoull(first) + 3);
    EXPECT_EQ(QueryText(state.File("vantrel.db"), "SELECT count(*), max(email) FROM client_visits WHERE client = " + first),
              "2|ada@example.org|");
}

TEST(SupportPagesTest, ReportsAreStoredAndListed)
{
    CTestSite site;
    CRunningServer server(site.Root());
    auto client = server.Client();

    auto form = client->Get("/vantrel/ui/support.jsp?platform=win&email=ada@example.org");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 200);
    EXPECT_NE(form->body.find("value=\"ada@example.org\""), std::string::npos);
    EXPECT_NE(form->body.find("action=\"/vantrel/ui/support.jsp\""), std::string::npos);

    httplib::Params bug{{"email", "ada@example.org"}, {"platform", "win"}, {"summary", "Tree <empty> & stuck"},
                        {"details", "Steps:\n1. open\n2. wait"}};
    auto sent = client->Post("/vantrel/ui/support.jsp", bug);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->status, 200);
    EXPECT_NE(sent->body.find("number <b>1</b>"), std::string::npos) << sent->body;
    EXPECT_NE(sent->body.find("Tree &lt;empty&gt; &amp; stuck"), std::string::npos);

    httplib::Params feature{{"email", "ada@example.org"}, {"summary", "Dark pages"}, {"details", ""}};
    auto requested = client->Post("/vantrel/ui/request.jsp", feature);
    ASSERT_TRUE(requested);
    EXPECT_NE(requested->body.find("number <b>2</b>"), std::string::npos);

    auto empty = client->Post("/vantrel/ui/request.jsp", httplib::Params{{"email", "x@example.org"}});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 400);
    EXPECT_NE(empty->body.find("Please say"), std::string::npos);

    EXPECT_EQ(QueryText(server.StateDir() + "/vantrel.db", "SELECT details FROM reports WHERE number = 1"),
              "Steps:\n1. open\n2. wait|");

    auto help = client->Get("/vantrel/ui/help/list.jsp?clientid=100001&email=ada@example.org");
    ASSERT_TRUE(help);
    EXPECT_EQ(help->status, 200);
    EXPECT_NE(help->body.find("Dark pages"), std::string::npos);
    EXPECT_NE(help->body.find("Tree &lt;empty&gt; &amp; stuck"), std::string::npos);
    EXPECT_NE(help->body.find("Why is the Local tab empty?"), std::string::npos);  // the site's help topics

    auto stranger = client->Get("/vantrel/ui/help/list.jsp?clientid=0&email=eve@example.org");
    ASSERT_TRUE(stranger);
    EXPECT_EQ(stranger->body.find("Dark pages"), std::string::npos);

    auto request = client->Get("/vantrel/ui/request.jsp?email=ada@example.org");
    ASSERT_TRUE(request);
    EXPECT_NE(request->body.find("Request a feature"), std::string::npos);
}

TEST(SupportPagesTest, UploadListsTheClassesAndTheirComponents)
{
    CTestSite site;
    CRunningServer server(site.Root());
    CTempDir dir;
    auto client = server.Client();

    auto form = client->Get("/vantrel/testtab/upload.jsp");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->status, 200);
    EXPECT_NE(form->body.find("enctype=\"multipart/form-data\""), std::string::npos);

    std::string jar = MakeJar(dir, {"META-INF/MANIFEST.MF", "com/acme/parse/Csv.class", "com/acme/parse/Csv$Row.class",
                                    "org/other/Thing.class"});
    httplib::MultipartFormDataItems upload{{"archive", jar, "mine.jar", "application/java-archive"}};
    auto listed = client->Post("/vantrel/testtab/upload.jsp", upload);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->status, 200);
    for (const char* text : {"mine.jar", "com.acme.parse.Csv$Row", "org.other.Thing", "Acme Parsers Extras",
                             "3 classes"})
        EXPECT_NE(listed->body.find(text), std::string::npos) << text << "\n" << listed->body;

    // A multi-release archive: its versioned classes by their own names, each once.
    std::string multi = MakeJar(dir, {"META-INF/versions/9/module-info.class", "META-INF/versions/9/org/x/Nine.class",
                                      "META-INF/versions/11/org/x/Nine.class", "META-INF/versions/9/com/acme/parse/Csv.class",
                                      "META-INF/other/Skip.class", "com/acme/parse/Csv.class"});
    httplib::MultipartFormDataItems versioned{{"archive", multi, "multi.jar", "application/java-archive"}};
    auto listedVersions = client->Post("/vantrel/testtab/upload.jsp", versioned);
    ASSERT_TRUE(listedVersions);
    EXPECT_NE(listedVersions->body.find("2 classes"), std::string::npos) << listedVersions->body;
    EXPECT_NE(listedVersions->body.find("org.x.Nine"), std::string::npos) << listedVersions->body;

    httplib::MultipartFormDataItems junk{{"archive", "not a zip at all", "junk.jar", "application/java-archive"}};
    auto refused = client->Post("/vantrel/testtab/upload.jsp", junk);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 422);
    EXPECT_NE(refused->body.find("not a JAR or ZIP archive"), std::string::npos);

    httplib::MultipartFormDataItems nothing{{"other", "x", "", ""}};
    auto missing = client->Post("/vantrel/testtab/upload.jsp", nothing);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 400);
}

TEST(SupportPagesTest, UpdateFilesCarryTheirTimes)
{
    CTestSite site;
    site.Write("public/changes.txt", "1.0.0.7: faster searches\n");
    site.Write("public/tarnel", std::string("\x7f" "ELF\0\1", 6));
    CRunningServer server(site.Root());
    auto client = server.Client();
    for (const char* name : {"changes.txt", "tarnel"}) {
        std::string path = std::string("/public/") + name;
        auto head = client->Head(path.c_str());
        auto get = client->Get(path.c_str());
        ASSERT_TRUE(head && get) << name;
        EXPECT_EQ(head->status, 200) << name;
        EXPECT_EQ(get->body, ReadFileText(site.Path(std::string("public/") + name))) << name;
        EXPECT_EQ(head->get_header_value("Last-Modified"), get->get_header_value("Last-Modified"));
        EXPECT_NE(get->get_header_value("Last-Modified").find(" GMT"), std::string::npos);
    }
    auto absent = client->Head("/public/libtarnelctrl.so");
    ASSERT_TRUE(absent);
    EXPECT_EQ(absent->status, 404);
}
