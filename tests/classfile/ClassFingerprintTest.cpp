#include "ClassFingerprint.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>

#include "support/ChildProcess.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace
{
using CClasses = std::map<std::string, std::string>;  // "Parser" -> class bytes

// A small library in two versions: v2 changes a method body (Parser), a constant (Limits)
// and adds a method (Node); Helper (with a nested class), Kind and Table are the same. Table
// has enough constants that a rewritten pool moves some across index 255 (ldc / ldc_w).
std::map<std::string, std::pair<std::string, std::string>> LibrarySources()
{
    std::string words, numbers;
    for (int i = 0; i < 300; ++i) {
        words += "\"w" + std::to_string(i) + "\", ";
        numbers += std::to_string(100000 + i) + ", ";
    }
    const std::string parser = R"(package com.acme.lib;
import java.util.ArrayList;
import java.util.List;
import java.util.function.Function;
public class Parser<T extends Node<T>> implements Function<String, List<T>> {
    public static final long SEED = 123456789012L;
    static double ratio = 2.5;
    private final List<T> nodes = new ArrayList<>();
    private final int[][] grid = new int[3][4];
    @Override public List<T> apply(String text) {
        for (int i = 0; i < text.length(); i++)
            grid[i % 3][i % 4] += weight(text.charAt(i));
        return nodes;
    }
    static int weight(char c) {
        switch (c) { case 'a': case 'b': case 'c': case 'd': return 1; default: break; }
        switch (c * 7) { case 7: return 2; case 7000: return 3; case -70: return 4; default: return @WEIGHT@; }
    }
    public String describe(Object value) {
        String name = value instanceof Node ? ((Node<?>) value).name() : String.valueOf(value);
        Runnable clear = () -> nodes.clear();
        clear.run();
        try {
            return "node " + name + " of " + Class.forName("com.acme.lib.Helper").getName() + " at " + SEED + ratio;
        } catch (ClassNotFoundException e) {
            return "com/acme/lib/missing.properties";
        } finally {
            nodes.clear();
        }
    }
    byte[] bytes() { return new byte[] {1, 2, (byte) 200}; }
    Kind[] kinds() { return new Kind[] {Kind.LEAF}; }
}
)";
    const std::string node = R"(package com.acme.lib;
public interface Node<T extends Node<T>> extends Comparable<T> {
    String name();
    default boolean same(T other) { return compareTo(other) == 0; }
    @ADDED@
}
)";
    const std::string limits = R"(package com.acme.lib;
public class Limits {
    public static final int MAX = @MAX@;
    public static final String UNIT = "com.acme.lib.Unit";
    public static int max() { return MAX * 2; }
}
)";
    const std::string helper = R"(package com.acme.lib;
import java.util.List;
public final class Helper {
    static final class Box { final long x; Box(long x) { this.x = x; } }
    private Helper() {}
    public static <N extends Node<N>> N first(List<N> nodes) { return nodes.isEmpty() ? null : nodes.get(0); }
    static Object lock(Object o) throws InterruptedException { synchronized (o) { o.wait(1); return new Box(7L); } }
}
)";
    const std::string kind = R"(package com.acme.lib;
public enum Kind { LEAF, BRANCH; Kind flip() { return this == LEAF ? BRANCH : LEAF; } }
)";
    // Branches and a handler that span the constants: their byte offsets change.
    const std::string table = "package com.acme.lib;\npublic class Table {\n"
                              "    static String[] words(boolean none) { return none ? null : new String[] {" + words +
                              "}; }\n"
                              "    static int[] numbers(boolean none) {\n"
                              "        try { return none ? null : new int[] {" + numbers + "}; }\n"
                              "        catch (RuntimeException e) { return new int[0]; }\n    }\n}\n";
    auto with = [](std::string text, const std::string& mark, const std::string& value) {
        return text.replace(text.find(mark), mark.size(), value);
    };
    return {
        {"Parser", {with(parser, "@WEIGHT@", "5"), with(parser, "@WEIGHT@", "6")}},
        {"Node", {with(node, "@ADDED@", ""), with(node, "@ADDED@", "default int depth() { return 0; }")}},
        {"Limits", {with(limits, "@MAX@", "10"), with(limits, "@MAX@", "11")}},
        {"Helper", {helper, helper}},
        {"Kind", {kind, kind}},
        {"Table", {table, table}},
    };
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The classes in a folder, by their name without package and ".class".
CClasses ClassesIn(const std::string& folder)
{
    CClasses classes;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".class")
            classes[entry.path().stem().string()] = ReadFileText(entry.path());
    return classes;
}

// Compiles both versions in one javac run (v2 one package deeper, under "v2", which its
// fingerprints remove as a prefix) and relocates v1 with jarjar.
class ClassFingerprintTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new CTempDir;
        const std::string src = s_dir->File("src"), out = s_dir->File("classes");
        std::vector<std::string> javac = {JAVAC_EXECUTABLE, "-d", out};
        for (const auto& [name, versions] : LibrarySources()) {
            const std::string v2 = ReplaceAll(ReplaceAll(versions.second, "com.acme", "v2.com.acme"), "com/acme",
                                              "v2/com/acme");
            for (const auto& [folder, text] :
                 {std::pair{src + "/com/acme/lib", versions.first}, std::pair{src + "/v2/com/acme/lib", v2}}) {
                std::filesystem::create_directories(folder);
                WriteFileText(folder + "/" + name + ".java", text);
                javac.push_back(folder + "/" + name + ".java");
            }
        }
        Run(javac);
        s_original = new CClasses(ClassesIn(out + "/com/acme/lib"));
        s_changed = new CClasses(ClassesIn(out + "/v2/com/acme/lib"));

        CEntries entries;
        for (const auto& [name, bytes] : *s_original)
            entries.emplace_back("com/acme/lib/" + name + ".class", bytes);
        MakeArchiveOf(s_dir->File("lib.jar"), entries);
        WriteFileText(s_dir->File("rules.txt"), "rule com.acme.** shaded.@0\n");
        Run({JAVA_EXECUTABLE, "-cp", JARJAR_CLASSPATH, "com.tonicsystems.jarjar.Main", "process",
             s_dir->File("rules.txt"), s_dir->File("lib.jar"), s_dir->File("shaded.jar")});
        s_relocated = new CClasses;
        for (const auto& [path, bytes] : ArchiveEntries(s_dir->File("shaded.jar")))
            if (path.starts_with("shaded/com/acme/lib/") && path.ends_with(".class"))
                (*s_relocated)[path.substr(20, path.size() - 26)] = bytes;
    }
    static void TearDownTestSuite()
    {
        delete s_relocated;
        delete s_changed;
        delete s_original;
        delete s_dir;
    }

    static void Run(const std::vector<std::string>& argv)
    {
        CChildProcess process;
        ASSERT_TRUE(process.Start(argv, {}, s_dir->File("log"), s_dir->File("log")));
        ASSERT_EQ(process.Wait(120s), 0) << argv[0] << ": " << ReadFileText(s_dir->File("log"));
    }

    static inline CTempDir* s_dir = nullptr;
    static inline CClasses* s_original = nullptr;
    static inline CClasses* s_changed = nullptr;
    static inline CClasses* s_relocated = nullptr;
};
}  // namespace

TEST_F(ClassFingerprintTest, SameForARelocatedCopyDifferentForAChangedClass)
{
    const std::vector<std::string> classes = {"Helper", "Helper$Box", "Kind", "Limits", "Node", "Parser", "Table"};
    for (const CClasses* found : {s_original, s_changed, s_relocated}) {
        std::vector<std::string> names;
        for (const auto& entry : *found)
            names.push_back(entry.first);
        ASSERT_EQ(names, classes);
    }
    const std::set<std::string> changed = {"Limits", "Node", "Parser"};
    for (const std::string& name : classes) {
        const std::string& original = s_original->at(name);
        const std::string& relocated = s_relocated->at(name);
        const auto fingerprint = CClassFingerprint::Compute(original);
        ASSERT_TRUE(fingerprint.has_value()) << name;

        // The relocated copy under every spelling of its prefix; without it, another class.
        for (const char* prefix : {"shaded/", "shaded.", "shaded"})
            EXPECT_EQ(CClassFingerprint::Compute(relocated, prefix), fingerprint) << name << " " << prefix;
        const auto unrelocated = CClassFingerprint::Compute(relocated);
        ASSERT_TRUE(unrelocated.has_value()) << name;
        EXPECT_NE(unrelocated, fingerprint) << name;
        // A prefix the class does not have changes nothing.
        EXPECT_EQ(CClassFingerprint::Compute(original, "shaded/"), fingerprint) << name;

        const auto other = CClassFingerprint::Compute(s_changed->at(name), "v2/");
        ASSERT_TRUE(other.has_value()) << name;
        EXPECT_EQ(*other != *fingerprint, changed.count(name) == 1) << name;
    }
    EXPECT_TRUE(std::regex_match(CClassFingerprint::ToText(*CClassFingerprint::Compute(s_original->at("Kind"))),
                                 std::regex("[0-9a-f]{16}")));
    EXPECT_EQ(CClassFingerprint::ToText(0x00ab0000000000ffu), "00ab0000000000ff");
}

TEST_F(ClassFingerprintTest, NothingForBytesThatAreNoWholeClass)
{
    const std::string& parser = s_original->at("Parser");
    // Cut short anywhere, or with bytes after its end.
    for (size_t length = 0; length < parser.size(); ++length)
        ASSERT_EQ(CClassFingerprint::Compute(parser.substr(0, length)), std::nullopt) << length;
    EXPECT_EQ(CClassFingerprint::Compute(parser + '\0'), std::nullopt);
    EXPECT_EQ(CClassFingerprint::Compute("PK\3\4 not a class"), std::nullopt);
    // Damaged anywhere: a fingerprint or none, never a crash or a read out of bounds.
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::string damaged = parser;
        for (int k = 0; k < 3; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        (void)CClassFingerprint::Compute(damaged, "com/");
    }
}
