#include "PrefixCache.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

TEST(CPrefixCache, FirstAnswerStays)
{
    CPrefixCache cache;
    EXPECT_FALSE(cache.Find("com."));
    cache.Add("com.", false);
    cache.Add("com.", true);
    EXPECT_EQ(cache.Find("com."), false);
    EXPECT_FALSE(cache.Find("Com."));  // byte by byte
}

TEST(CPrefixCache, ConcurrentScansLoseNoAnswer)
{
    CPrefixCache cache;
    std::vector<std::thread> scans;
    for (int t = 0; t < 4; ++t)
        scans.emplace_back([&cache, t] {
            for (int i = 0; i < 2000; ++i) {
                cache.Add("p" + std::to_string(t) + "." + std::to_string(i), i % 2 == 0);
                cache.Find("p" + std::to_string((t + 1) % 4) + "." + std::to_string(i));
            }
        });
    for (std::thread& scan : scans)
        scan.join();
    EXPECT_EQ(cache.GetSize(), 8000u);
    EXPECT_EQ(cache.Find("p3.1998"), true);
    EXPECT_EQ(cache.Find("p2.1999"), false);
}
