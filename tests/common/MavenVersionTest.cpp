#include "MavenVersion.h"

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

namespace
{
CMavenVersion V(const char* text)
{
    auto version = CMavenVersion::Parse(text);
    EXPECT_TRUE(version) << text;
    return version.value_or(*CMavenVersion::Parse("0"));
}
}  // namespace

// The examples Maven documents for its version order, each chain strictly ascending and
// each group equal. Two of the POM reference's worked examples ("1-1" = "1.1" and
// "1-sp-1" > "1-ga-1") contradict the rules stated on the same page; these follow the rules
// (and Maven's own comparator): "-number" < ".number", and a null before a hyphen is trimmed.
TEST(MavenVersionTest, OrdersAsMavenDocumentsIt)
{
    const std::vector<std::vector<const char*>> ascending = {
        {"1", "1.1"},                                  // number padding
        {"1-snapshot", "1", "1-sp"},                   // qualifier padding
        {"1-foo2", "1-foo10"},                         // digits after letters compare as numbers
        {"1.foo", "1-1", "1.1"},                       // .qualifier < -number < .number
        {"1-ga", "1-sp"},
        {"1-ga.1", "1-sp.1"},
        {"1-sp-1", "1-ga-1"},
        {"1.0.RC2", "1.0-RC3", "1.0.1"},               // a hyphen weighs less than a dot before digits
        {"1.0.X2", "1.0-X3", "1.0.1"},
        // the known qualifiers in their order, then the unknown ones alphabetically
        {"1-alpha", "1-beta", "1-milestone", "1-rc", "1-snapshot", "1", "1-sp", "1-a", "1-foo", "1-zz"},
        {"NotAVersionSting", "1.0a1-SNAPSHOT", "1.0-alpha1", "1.0beta1-SNAPSHOT", "1.0-b2", "1.0-beta3.SNAPSHOT",
         "1.0-beta3", "1.0-milestone1-SNAPSHOT", "1.0-m2", "1.0-rc1-SNAPSHOT", "1.0-cr1", "1.0-SNAPSHOT", "1.0",
         "1.0-sp", "1.0-a", "1.0-whatever", "1.0.z", "1.0.1", "1.0.1.0.0.0.0.0.0.0.0.0.0.0.1"},
        {"1.0.0", "1.0.0-foo", "1.0.1"},               // an unknown qualifier comes after the release
        {"2.0-rc1", "2.0"},                            // so [1.0,2.0) holds 2.0-rc1
        {"1", "1-0.1"},                                // all of a level counts against padding
        {"1.9", "1.10", "1.99999999999999999999", "1.100000000000000000000"},  // beyond 64 bits
        {"0", "0.0.1", "1-alpha", "1", "1a", "1.1"},  // a letter after digits opens a qualifier level
    };
    for (const auto& chain : ascending) {
        for (size_t i = 0; i + 1 < chain.size(); ++i) {
            EXPECT_LT(V(chain[i]), V(chain[i + 1])) << chain[i] << " < " << chain[i + 1];
            EXPECT_GT(V(chain[i + 1]), V(chain[i])) << chain[i + 1] << " > " << chain[i];
        }
    }

    const std::vector<std::vector<const char*>> equal = {
        {"1", "1.0", "1.0.0", "1.", "1-", "1.ga", "1-ga", "1-0", "1.final", "1-final", "1-release", "1.0.0-0.0.0"},
        {"1.foo", "1-foo", "1.0.0-foo.0.0"},
        {"1-a1", "1-alpha-1", "1alpha1", "1.0-ALPHA1", "1.0AlphA1"},  // any case
        {"1.0-beta1", "1.0-b1", "1.0BETA1"},
        {"1.0-milestone1", "1.0-m1"},
        {"1.0-rc1", "1.0-cr1", "1.0RC1"},
        {"1-1.foo-bar1baz-.1", "1-1.foo-bar-1-baz-0.1"},  // an empty token is 0
        {"1.2_3", "1.2-3"},
        {"01.002", "1.2"},
    };
    for (const auto& group : equal) {
        for (const char* other : group)
            EXPECT_EQ(V(group[0]), V(other)) << group[0] << " == " << other;
    }
    EXPECT_EQ(V("1.0.0-foo.0.0").Canonical(), "1-foo");
    EXPECT_EQ(V("1.0a1-SNAPSHOT").Canonical(), "1-alpha-1-snapshot");
}

// A catalogue's versions sort with the same order; what cannot be ordered is refused.
TEST(MavenVersionTest, SortsACatalogueAndRefusesWhatItCannotOrder)
{
    const std::vector<const char*> expected = {"1.0-alpha-1", "1.0-beta-2", "1.0-rc-1", "1.0-SNAPSHOT", "1.0",
                                               "1.0-sp-1", "1.0.1", "1.1-rc1", "1.1", "1.10", "2.0.0-M1", "2.0.0"};
    std::vector<CMavenVersion> versions;
    for (const char* text : expected)
        versions.push_back(V(text));
    std::shuffle(versions.begin(), versions.end(), std::mt19937(27));
    std::sort(versions.begin(), versions.end());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(versions[i].Text(), expected[i]);

    for (std::string bad : {std::string(), std::string("1.0 beta"), std::string("1.0\n"), std::string("1\x7f"),
                            std::string(CMavenVersion::kMaxLength + 1, '1')})
        EXPECT_FALSE(CMavenVersion::Parse(bad)) << bad;
    // The longest accepted text, nested at every character, still compares.
    std::string deep;
    while (deep.size() + 2 <= CMavenVersion::kMaxLength)
        deep += "1-";
    EXPECT_LT(V("1"), V(deep.c_str()));
}
