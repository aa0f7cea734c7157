#include "RegistryFile.h"

#include <gtest/gtest.h>

namespace
{
const char* const kSample =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel]\n"
    "\"ComponentWebServer\"=\"http://127.0.0.1:8380\"\n"
    "\"Data\"=\"/home/ada/.local/share/corvane\"\n"
    "\"Count\"=dword:0000001e\n"
    "; a comment the user wrote\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\CLSID\\{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}\\InprocServer32]\n"
    "@=\"/usr/local/lib/libtarnelctrl.so\"\n"
    "\"ThreadingModel\"=\"Apartment\"\n";
}

TEST(CRegistryFile, ReadsValuesWithoutRegardToCase)
{
    CRegistryFile file = CRegistryFile::Parse(kSample);
    EXPECT_EQ(file.GetValue("hkey_local_machine\\SOFTWARE\\corvane\\vantrel", "componentwebserver"),
              "http://127.0.0.1:8380");
    EXPECT_EQ(file.GetValue("HKEY_CLASSES_ROOT\\CLSID\\{ad1b9655-b406-11d3-a1dd-0060b0ee16f3}\\InprocServer32", ""),
              "/usr/local/lib/libtarnelctrl.so");
    EXPECT_FALSE(file.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "Count"));  // not a string
    EXPECT_FALSE(file.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "Missing"));
    EXPECT_FALSE(file.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane", "Data"));  // values do not inherit
    EXPECT_TRUE(file.HasKey("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel\\"));
    EXPECT_FALSE(file.HasKey("HKEY_LOCAL_MACHINE\\Software\\Corvane"));
}

TEST(CRegistryFile, RewriteKeepsWhatItDoesNotUnderstand)
{
    CRegistryFile file = CRegistryFile::Parse(kSample);
    ASSERT_TRUE(file.SetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "DATA", "/srv/data"));
    ASSERT_TRUE(file.SetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "OfflineMode", "1"));
    std::string text = file.Serialize();
    EXPECT_NE(text.find("\"Count\"=dword:0000001e\n"), std::string::npos);
    EXPECT_NE(text.find("; a comment the user wrote\n"), std::string::npos);
    EXPECT_NE(text.find("\"Data\"=\"/srv/data\"\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("/home/ada"), std::string::npos);
    // A new value lands in its own section, before the blank line that ends it.
    EXPECT_NE(text.find("\"OfflineMode\"=\"1\"\n\n[HKEY_CLASSES_ROOT"), std::string::npos) << text;

    CRegistryFile again = CRegistryFile::Parse(text);
    EXPECT_EQ(again.Serialize(), text);
    EXPECT_EQ(again.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "OfflineMode"), "1");
}

TEST(CRegistryFile, EscapesRoundTrip)
{
    const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel";
    const std::vector<std::string> values = {
        "C:\\Program Files\\Vantrel\\",  // backslashes, one at the end
        "say \"hi\"",                    // quotes
        "\\\"",                          // an escaped quote's own spelling
        "two\nlines",                    // a line end inside a value
        "[HKEY_CLASSES_ROOT\\X]",        // looks like a section
        "pässwörd ünïcode",
        "",
    };
    CRegistryFile file = CRegistryFile::Parse("[" + key + "]\n");
    for (size_t i = 0; i < values.size(); ++i)
        ASSERT_TRUE(file.SetValue(key, "v" + std::to_string(i), values[i]));
    ASSERT_TRUE(file.SetValue(key, "odd \"name\"", "x"));
    CRegistryFile parsed = CRegistryFile::Parse(file.Serialize());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(parsed.GetValue(key, "v" + std::to_string(i)), values[i]) << i;
    EXPECT_EQ(parsed.GetValue(key, "odd \"name\""), "x");
    EXPECT_FALSE(parsed.HasKey("HKEY_CLASSES_ROOT\\X"));
}

TEST(CRegistryFile, NoWriteIntoAMissingKey)
{
    CRegistryFile file = CRegistryFile::Parse(kSample);
    std::string before = file.Serialize();
    EXPECT_FALSE(file.SetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel\\User", "Email", "a@b"));
    EXPECT_EQ(file.Serialize(), before);
}

TEST(CRegistryFile, GarbageAndTornFilesReadWhatIsWhole)
{
    // Binary noise, a section header without its end, a value cut in the middle.
    std::string torn = std::string("\x00\xff\xfe garbage\n", 12) +
                       "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel]\n"
                       "\"Good\"=\"yes\"\n"
                       "\"Cut\"=\"no closing quote\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Corv";
    CRegistryFile file = CRegistryFile::Parse(torn);
    EXPECT_EQ(file.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "Good"), "yes");
    EXPECT_FALSE(file.GetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "Cut"));
    // Rewriting it keeps the unreadable lines instead of dropping them.
    ASSERT_TRUE(file.SetValue("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel", "Good", "still"));
    EXPECT_NE(file.Serialize().find("\"Cut\"=\"no closing quote"), std::string::npos);

    for (std::string_view text : {std::string_view(""), std::string_view("\n\n\n"), std::string_view("[]"),
                                  std::string_view("\"a\"=\"b\"")}) {
        CRegistryFile empty = CRegistryFile::Parse(text);
        EXPECT_FALSE(empty.GetValue("", "a")) << text;
    }
}

TEST(CRegistryFile, LaterDuplicateSectionWins)
{
    CRegistryFile file = CRegistryFile::Parse(
        "[HKEY_LOCAL_MACHINE\\K]\n\"A\"=\"first\"\n\"B\"=\"only\"\n[hkey_local_machine\\k]\n\"a\"=\"second\"\n");
    EXPECT_EQ(file.GetValue("HKEY_LOCAL_MACHINE\\K", "A"), "second");
    EXPECT_EQ(file.GetValue("HKEY_LOCAL_MACHINE\\K", "B"), "only");
    ASSERT_TRUE(file.SetValue("HKEY_LOCAL_MACHINE\\K", "A", "third"));
    EXPECT_EQ(CRegistryFile::Parse(file.Serialize()).GetValue("HKEY_LOCAL_MACHINE\\K", "A"), "third");
}

TEST(CRegistryFile, CreateAndDeleteKeys)
{
    CRegistryFile file = CRegistryFile::Parse(kSample);
    file.CreateKey("HKEY_CLASSES_ROOT\\CLSID\\{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}");
    ASSERT_TRUE(file.SetValue("HKEY_CLASSES_ROOT\\CLSID\\{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}", "", "Control"));
    EXPECT_TRUE(file.DeleteKey("HKEY_CLASSES_ROOT\\CLSID\\{ad1b9655-B406-11D3-A1DD-0060B0EE16F3}"));
    CRegistryFile parsed = CRegistryFile::Parse(file.Serialize());
    EXPECT_FALSE(parsed.HasKey("HKEY_CLASSES_ROOT\\CLSID\\{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}\\InprocServer32"));
    EXPECT_TRUE(parsed.HasKey("HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel"));
    EXPECT_FALSE(parsed.DeleteKey("HKEY_CLASSES_ROOT\\CLSID\\{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}"));
}
