#include "Site.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

#include "VantrelServer.h"
#include "support/TestSite.h"

TEST(SiteTest, OpensACompleteSiteAndExplainsABrokenOne)
{
    CTestSite site;
    CSite opened;
    std::string error;
    EXPECT_TRUE(opened.Open(site.Root(), error)) << error;

    CSite missing;
    EXPECT_FALSE(missing.Open(site.Path("nowhere"), error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_NE(error.find("build-site"), std::string::npos) << error;

    std::filesystem::remove(site.Path("lookup/classes.txt"));
    std::filesystem::remove(site.Path("public/data/java/index.xml"));
    CSite incomplete;
    EXPECT_FALSE(incomplete.Open(site.Root(), error));
    EXPECT_NE(error.find("lookup/classes.txt"), std::string::npos) << error;
    EXPECT_NE(error.find("public/data/java/index.xml"), std::string::npos) << error;
}

TEST(SiteTest, ServerRefusesToStartOverABrokenSite)
{
    CTestSite site;
    std::filesystem::remove(site.Path("stores/components/vendors/components.bnd"));
    CServerOptions options;
    options.siteDir = site.Root();
    options.http = {"127.0.0.1", 0};
    options.lookup = {"127.0.0.1", 0};
    CVantrelServer server(options);
    std::string error;
    EXPECT_FALSE(server.Start(error));
    EXPECT_NE(error.find("components.bnd"), std::string::npos) << error;
}

TEST(SiteTest, ResolveKeepsEveryPathInsideTheSite)
{
    CTestSite site;
    CTempDir outside;
    WriteFileText(outside.File("secret.txt"), "secret");
    ASSERT_EQ(::symlink(outside.Path().c_str(), site.Path("public/escape").c_str()), 0);
    ASSERT_EQ(::symlink(outside.File("secret.txt").c_str(), site.Path("public/secret.txt").c_str()), 0);
    ASSERT_EQ(::symlink(site.Path("public/data").c_str(), site.Path("public/alias").c_str()), 0);
    site.Write("public/.hidden", "x");
    CSite opened;
    std::string error;
    ASSERT_TRUE(opened.Open(site.Root(), error)) << error;

    struct Case
    {
        std::string path;
        bool found;
    };
    const Case cases[] = {
        {"public/data/java/index.xml", true},
        {"public//data/./java/index.xml", true},
        {"/public/data/java/index.xml", true},  // leading slashes are no way out
        {"public/alias/java/index.xml", true},  // a link that stays inside is followed
        {"public/../site.xml", false},
        {"../site.xml", false},
        {"public/data/../../../etc/passwd", false},
        {"public/escape/secret.txt", false},
        {"public/secret.txt", false},
        {"public/.hidden", false},
        {"public\\data\\java\\index.xml", false},
        {std::string("public/data/java/index.xml\0.txt", 31), false},
        {"public/missing.xml", false},
    };
    for (const auto& c : cases) {
        auto resolved = opened.ResolveFile(c.path);
        EXPECT_EQ(resolved.has_value(), c.found) << c.path;
        if (resolved) {
            EXPECT_TRUE(opened.Contains(*resolved)) << *resolved;
        }
    }
    EXPECT_FALSE(opened.Contains(outside.File("secret.txt")));
    EXPECT_FALSE(opened.Contains(opened.Root() + "-sibling/file"));
}
