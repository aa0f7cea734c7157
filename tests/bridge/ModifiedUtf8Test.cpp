#include "ModifiedUtf8.h"

#include <gtest/gtest.h>

TEST(ModifiedUtf8Test, ConvertsWhatTheJvmHandsOut)
{
    struct
    {
        std::string modified;
        std::string utf8;
    } cases[] = {
        {"", ""},
        {"java.util", "java.util"},
        {"\xc3\xbc", "\xc3\xbc"},                                 // U+00FC, two bytes
        {"\xe2\x82\xac", "\xe2\x82\xac"},                         // U+20AC, three bytes
        {"\xef\xbf\xbf", "\xef\xbf\xbf"},                         // U+FFFF, the last three-byte one
        {"\xed\xa0\xb4\xed\xb4\x9e", "\xf0\x9d\x84\x9e"},         // U+1D11E as a surrogate pair
        {"\xed\xaf\xbf\xed\xbf\xbf", "\xf4\x8f\xbf\xbf"},         // U+10FFFF
        {"a\xed\xa0\x80\xed\xb0\x80z", "a\xf0\x90\x80\x80z"},     // U+10000 between ASCII
    };
    for (const auto& c : cases) {
        std::string out = "old";
        EXPECT_TRUE(ModifiedUtf8ToUtf8(c.modified, out)) << c.modified;
        EXPECT_EQ(out, c.utf8);
    }
}

TEST(ModifiedUtf8Test, RefusesWhatABusStringCannotHold)
{
    const std::string cases[] = {
        std::string("a\0b", 3),          // a raw NUL
        "a\xc0\x80" "b",                 // the JVM's NUL
        "\xc1\xbf",                      // overlong
        "\xe0\x80\x80",                  // overlong three-byte form
        "\xed\xa0\x80",                  // lone high surrogate at the end
        "\xed\xa0\x80z",                 // lone high surrogate before ASCII
        "\xed\xa0\x80\xed\xa0\x80",      // two high surrogates
        "\xed\xb0\x80",                  // lone low surrogate
        "\xc3",                          // cut short
        "\xe2\x82",                      // cut short
        "\x80",                          // stray continuation byte
        "\xf0\x9d\x84\x9e",              // a four-byte form, which modified UTF-8 never has
        "\xc3\x28",                      // no continuation byte
    };
    for (const std::string& c : cases) {
        std::string out;
        EXPECT_FALSE(ModifiedUtf8ToUtf8(c, out)) << testing::PrintToString(c);
    }
}
