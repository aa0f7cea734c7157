#include "ClassPages.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "FileDigest.h"
#include "support/ChildProcess.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace
{
class ClassPagesTest : public ::testing::Test
{
protected:
    std::string Cache() const { return m_dir.File("cache/"); }

    static std::set<std::string> Listing(const std::string& folder)
    {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            names.insert(entry.path().filename().string());
        return names;
    }

    void Run(const std::vector<std::string>& argv)
    {
        CChildProcess process;
        ASSERT_TRUE(process.Start(argv, {}, m_dir.File("log"), m_dir.File("log")));
        ASSERT_EQ(process.Wait(120s), 0) << argv[0] << ": " << ReadFileText(m_dir.File("log"));
    }

    CTempDir m_dir;
};

const std::string kParser = "package com.acme;\n/** Reads the input. */\npublic class Parser {\n"
                            "    /** Parses one line. @param line the text @return its length */\n"
                            "    public int parse(String line) { return line.length(); }\n}\n";
const std::string kLexer = "package com.acme;\n/** Splits the input. */\npublic class Lexer {}\n";
}  // namespace

TEST_F(ClassPagesTest, JavadocArchiveBesideTheArchiveIsUnpackedOnce)
{
    fs::create_directories(m_dir.File("src/com/acme"));
    fs::create_directories(m_dir.File("repo"));
    WriteFileText(m_dir.File("src/com/acme/Parser.java"), kParser);
    WriteFileText(m_dir.File("src/com/acme/Lexer.java"), kLexer);
    Run({JAVADOC_EXECUTABLE, "-quiet", "-d", m_dir.File("api"), "-sourcepath", m_dir.File("src"), "com.acme"});
    const std::string javadoc = m_dir.File("repo/a-1.0-javadoc.jar");
    Run({JAR_EXECUTABLE, "cf", javadoc, "-C", m_dir.File("api"), "."});
    MakeArchive(m_dir.File("repo/a-1.0.jar"), {"com/acme/Parser.class", "com/acme/Lexer.class"});
    const std::vector<std::string> archives = {m_dir.File("repo/other-2.0.jar"), m_dir.File("repo/a-1.0.jar")};
    const std::string pages = Cache() + Sha256Hex(javadoc) + "/";

    CJavadocCache cache(Cache(), CJavadocCache::kDefaultMaxBytes);
    const CClassPage parser = FindClassPage("com.acme.Parser", archives, cache);
    EXPECT_EQ(parser.file, pages + "com/acme/Parser.html");
    EXPECT_EQ(parser.note, "");
    EXPECT_NE(ReadFileText(parser.file).find("Parses one line."), std::string::npos);

    // A second class comes from the same folder, not from a second unpacking.
    WriteFileText(pages + "marker", "");
    EXPECT_EQ(FindClassPage("com.acme.Lexer", archives, cache).file, pages + "com/acme/Lexer.html");
    EXPECT_TRUE(fs::exists(pages + "marker"));
    EXPECT_EQ(Listing(Cache()), std::set<std::string>{Sha256Hex(javadoc)});

    for (const char* none : {"com.acme.Missing", "com.acme", "com..acme.Parser", "com/acme/Parser", "..com.acme.Parser"}) {
        const CClassPage page = FindClassPage(none, archives, cache);
        EXPECT_EQ(page.file, "") << none;
        EXPECT_EQ(page.note, "") << none;
    }

    // Two programs unpacking the same archive at once end with one whole copy.
    const std::string shared = m_dir.File("shared/");
    std::optional<std::string> first, second;
    std::string firstNote, secondNote;
    std::thread other([&] { first = CJavadocCache(shared, CJavadocCache::kDefaultMaxBytes).Pages(javadoc, firstNote); });
    second = CJavadocCache(shared, CJavadocCache::kDefaultMaxBytes).Pages(javadoc, secondNote);
    other.join();
    EXPECT_EQ(first, shared + Sha256Hex(javadoc) + "/") << firstNote;
    EXPECT_EQ(second, first) << secondNote;
    EXPECT_EQ(Listing(shared), std::set<std::string>{Sha256Hex(javadoc)});
    EXPECT_TRUE(fs::is_regular_file(shared + Sha256Hex(javadoc) + "/com/acme/Parser.html"));
}

TEST_F(ClassPagesTest, HostileArchivesAreRefusedAndOnlyTheRefusalIsKept)
{
    const std::string outside = m_dir.File("evil.html");
    const std::string zeros(4 << 20, '\0');
    const std::string chunk(900 << 10, 'x');
    struct CCase
    {
        std::string what;
        CEntries entries;
        std::function<void(const std::string&)> tweak;
        std::string reason;
    };
    const std::vector<CCase> cases = {
        {"parent", {{"index.html", "ok"}, {"../../evil.html", "x"}}, nullptr,
         "an entry points outside its folder (../../evil.html)"},
        {"parent inside", {{"docs/../../../evil.html", "x"}}, nullptr,
         "an entry points outside its folder (docs/../../../evil.html)"},
        {"absolute", {{outside, "x"}}, nullptr, "an entry points outside its folder (" + outside + ")"},
        {"backslash", {{"..\\..\\evil.html", "x"}}, nullptr,
         "an entry has a name with a backslash or a NUL (..\\..\\evil.html)"},
        {"symlink", {{"link.html", outside}}, [](const std::string& path) { SetUnixMode(path, "link.html", S_IFLNK | 0777); },
         "an entry is a symbolic link (link.html)"},
        {"entries", CEntries(9, {"", "x"}), nullptr, "it has more than 8 entries"},
        {"bomb", {{"bomb.html", zeros}}, nullptr, "an entry unpacks to more than 1048576 bytes (bomb.html)"},
        {"lying bomb", {{"bomb.html", zeros}}, [](const std::string& path) { DeclareSize(path, "bomb.html", 1000); },
         "an entry unpacks to more than 1048576 bytes (bomb.html)"},
        {"total", {{"a.html", chunk}, {"b.html", chunk}, {"c.html", chunk}}, nullptr,
         "it unpacks to more than 2097152 bytes"},
        {"clash", {{"a", "x"}, {"a/b.html", "x"}}, nullptr, "two entries have one name (a/b.html)"},
        {"truncated", {{"index.html", chunk}},
         [](const std::string& path) {
             const std::string whole = ReadFileText(path);
             WriteFileText(path, whole.substr(0, whole.size() / 2));
         },
         "it is not a whole archive ("},
    };
    const CJavadocCache::CBounds bounds{8, 2 << 20, 1 << 20};
    for (CCase c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t i = 0; i < c.entries.size(); ++i) {
            if (c.entries[i].first.empty())
                c.entries[i].first = "p" + std::to_string(i) + ".html";
        }
        fs::remove_all(Cache());
        const std::string javadoc = m_dir.File("a-1.0-javadoc.jar");
        MakeArchiveOf(javadoc, c.entries);
        if (c.tweak)
            c.tweak(javadoc);
        CJavadocCache cache(Cache(), CJavadocCache::kDefaultMaxBytes, bounds);
        for (int attempt = 0; attempt < 2; ++attempt) {  // the second answered from the record
            std::string note;
            EXPECT_EQ(cache.Pages(javadoc, note), std::nullopt);
            EXPECT_EQ(note.rfind("the API pages in " + javadoc + " were not opened: " + c.reason, 0), 0u) << note;
            EXPECT_EQ(Listing(Cache()), std::set<std::string>{Sha256Hex(javadoc) + ".refused"});
            EXPECT_EQ(Listing(m_dir.Path()), (std::set<std::string>{"a-1.0-javadoc.jar", "cache"}));
        }
    }

    // libzip reads a NUL in a stored name as a space, so the name cannot be cut short.
    const std::string javadoc = m_dir.File("a-1.0-javadoc.jar");
    MakeArchiveOf(javadoc, {{"aXb.html", "x"}});
    std::string bytes = ReadFileText(javadoc);
    for (size_t at = bytes.find("aXb"); at != std::string::npos; at = bytes.find("aXb", at))
        bytes[at + 1] = '\0';
    WriteFileText(javadoc, bytes);
    std::string note;
    const std::optional<std::string> pages = CJavadocCache(Cache(), CJavadocCache::kDefaultMaxBytes).Pages(javadoc, note);
    ASSERT_TRUE(pages) << note;
    EXPECT_EQ(Listing(*pages), std::set<std::string>{"a b.html"});
}

TEST_F(ClassPagesTest, CacheRemovesTheLeastRecentlyUsedPagesFirst)
{
    std::vector<std::string> archives, folders;
    for (const char* name : {"a", "b", "c"}) {
        archives.push_back(m_dir.File(std::string(name) + "-javadoc.jar"));
        MakeArchiveOf(archives.back(), {{"index.html", name + std::string(40 << 10, 'x')}});
        folders.push_back(Cache() + Sha256Hex(archives.back()));
    }
    CJavadocCache cache(Cache(), 100 << 10);
    std::string note;
    ASSERT_TRUE(cache.Pages(archives[0], note)) << note;
    ASSERT_TRUE(cache.Pages(archives[1], note)) << note;
    // a was unpacked first but is used again after b.
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(folders[0], now - 300s);
    fs::last_write_time(folders[1], now - 200s);
    ASSERT_TRUE(cache.Pages(archives[0], note)) << note;
    ASSERT_TRUE(cache.Pages(archives[2], note)) << note;
    EXPECT_TRUE(fs::is_regular_file(folders[0] + "/index.html"));
    EXPECT_FALSE(fs::exists(folders[1]));
    EXPECT_TRUE(fs::is_regular_file(folders[2] + "/index.html"));
    EXPECT_EQ(Listing(Cache()).size(), 2u);
    // The folder just unpacked stays even when it alone is over the bound.
    CJavadocCache tiny(Cache(), 1);
    ASSERT_TRUE(tiny.Pages(archives[1], note)) << note;
    EXPECT_EQ(Listing(Cache()), std::set<std::string>{fs::path(folders[1]).filename().string()});
}

TEST_F(ClassPagesTest, DebianDocPackageOfTheArchive)
{
    const std::string archive = "/usr/share/java/commons-io.jar";
    const std::string page = "/usr/share/doc/libcommons-io-java/api/org/apache/commons/io/FileUtils.html";
    if (!fs::is_regular_file(archive))
        GTEST_SKIP() << "libcommons-io-java is not installed";
    if (!fs::is_regular_file(page))
        GTEST_SKIP() << "libcommons-io-java-doc is not installed";
    CJavadocCache cache(Cache(), CJavadocCache::kDefaultMaxBytes);
    EXPECT_EQ(FindClassPage("org.apache.commons.io.FileUtils", {archive}, cache).file, page);
    EXPECT_EQ(FindClassPage("org.apache.commons.io.NoSuchUtils", {archive}, cache).file, "");

    // Through a link dpkg does not know, with pages below a doc root of the test's own.
    fs::create_directories(m_dir.File("lib"));
    fs::create_symlink(archive, m_dir.File("lib/commons-io.jar"));
    MakeArchive(m_dir.File("lib/own.jar"), {"org/apache/commons/io/FileUtils.class"});
    const std::string ownPage = m_dir.File("doc/libcommons-io-java/api/org/apache/commons/io/FileUtils.html");
    fs::create_directories(fs::path(ownPage).parent_path());
    WriteFileText(ownPage, "<html></html>");
    EXPECT_EQ(FindClassPage("org.apache.commons.io.FileUtils", {m_dir.File("lib/own.jar"), m_dir.File("lib/commons-io.jar")},
                            cache, m_dir.File("doc"))
                  .file,
              ownPage);
    EXPECT_EQ(FindClassPage("org.apache.commons.io.FileUtils", {m_dir.File("lib/own.jar")}, cache).file, "");
    EXPECT_FALSE(fs::exists(Cache()));
}
