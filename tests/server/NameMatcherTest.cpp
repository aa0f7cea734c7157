#include "NameMatcher.h"

#include <gtest/gtest.h>

TEST(NameMatcherTest, EachFormOfQueryMatchesWhatItMeansAndNothingElse)
{
    struct Case
    {
        const char* query;
        const char* name;
        CMatchRank rank;
    };
    const Case cases[] = {
        // any case
        {"vector", "Vector", kExactMatch},
        {"VECTOR", "Vector", kExactMatch},
        {"vec", "Vector", kPrefixMatch},
        {"vector", "AbstractVector", kCamelCaseMatch},  // a whole hump
        {"ector", "Vector", kSubstringMatch},
        {"vectors", "Vector", kNoMatch},
        // camel-case abbreviations
        {"CHM", "ConcurrentHashMap", kCamelCaseMatch},
        {"chm", "ConcurrentHashMap", kCamelCaseMatch},
        {"CHM", "NoSuchMethodError", kNoMatch},  // letters inside humps are no abbreviation
        {"chm", "NoSuchMethodError", kSubstringMatch},
        {"NPE", "NullPointerException", kCamelCaseMatch},
        {"NPE", "NoPermissionError", kCamelCaseMatch},
        {"NE", "NullPointerException", kNoMatch},  // humps follow each other
        {"HaMa", "HashMap", kCamelCaseMatch},
        {"HaMa", "LinkedHashMap", kCamelCaseMatch},
        {"HaMa", "Hashtable", kNoMatch},
        {"HMa", "HashMap", kCamelCaseMatch},
        {"HMap", "HashMap", kCamelCaseMatch},
        {"HashMap", "ConcurrentHashMap", kCamelCaseMatch},
        {"ashMap", "ConcurrentHashMap", kNoMatch},  // written in camel case, so it starts at a hump
        {"HashMap", "Hashmapper", kPrefixMatch},
        {"XP", "XMLParser", kCamelCaseMatch},
        {"WP", "Widget.Part", kCamelCaseMatch},
        {"gCCL", "getContextClassLoader", kCamelCaseMatch},
        {"UTF8", "UTF8Encoder", kPrefixMatch},
        // wildcards
        {"Hash*Map", "HashMap", kExactMatch},
        {"Hash*Map", "HashMapTest", kPrefixMatch},
        {"Hash*Map", "LinkedHashMap", kSubstringMatch},
        {"Hash*Map", "Hashtable", kNoMatch},
        {"Vec?or", "Vector", kExactMatch},
        {"Vec?or", "Vecor", kNoMatch},  // ? is one character, never none
        {"*", "Anything", kExactMatch},
        // several words in any order
        {"concurrent map", "ConcurrentHashMap", kCamelCaseMatch},
        {"map concurrent", "ConcurrentHashMap", kCamelCaseMatch},
        {"hash map", "HashMap", kExactMatch},
        {"concurrent queue", "ConcurrentHashMap", kNoMatch},
        {"acme parsers", "Acme Parsers Extras", kPrefixMatch},
        // blanks only
        {"  ", "Vector", kNoMatch},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CNameMatcher(c.query).Rank(CFoldedName(c.name)), c.rank) << c.query << " / " << c.name;
}

TEST(NameMatcherTest, OtherFieldsFindButRankBelowTheName)
{
    CFoldedName name("Beta Logging");
    CFoldedName vendor("Beta Ltd");
    CFoldedName category("Facades and Bridges");
    std::vector<const CFoldedName*> others = {&vendor, &category};
    EXPECT_EQ(CNameMatcher("beta").Rank(name, others), kPrefixMatch);
    EXPECT_EQ(CNameMatcher("ltd").Rank(name, others), kSubstringMatch);
    EXPECT_EQ(CNameMatcher("facades and bridges").Rank(name, others), kSubstringMatch);
    EXPECT_EQ(CNameMatcher("bridges logging").Rank(name, others), kSubstringMatch);  // words in two fields
    EXPECT_EQ(CNameMatcher("bridges tracing").Rank(name, others), kNoMatch);
}
