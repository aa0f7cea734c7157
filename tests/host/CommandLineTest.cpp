#include "CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, SwitchesAreFoundAnywhereAndCutOut)
{
    struct
    {
        const char* line;
        bool standAlone;
        const char* rest;
    } const cases[] = {
        {"", true, ""},
        {"-Embedding", false, ""},
        {"/Automation", false, ""},
        {"file -Embedding", false, "file "},
        {"-Embeddingx", false, "x"},              // a longer word that starts with the name
        {"-embedding", true, "-embedding"},       // case matters
        {"Embedding", true, "Embedding"},         // needs its "-" or "/"
        {"/Automation -Embedding", false, "/Automation "},  // Embedding is tested first
        {"/register", true, "/register"},
        {"-", true, "-"},
    };
    for (const auto& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(IsStandAloneStart(line), c.standAlone) << c.line;
        EXPECT_EQ(line, c.rest) << c.line;
    }
    // Only the first switch found is cut: a second test finds the other one.
    std::string both = "-Automation -Embedding";
    EXPECT_FALSE(IsStandAloneStart(both));
    EXPECT_FALSE(IsStandAloneStart(both));
    EXPECT_TRUE(IsStandAloneStart(both));
}
