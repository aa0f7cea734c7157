#include "JavaItemDataManager.h"

#include <gtest/gtest.h>

#include "support/HeadlessModalRunner.h"
#include "support/TestSupport.h"

// Its own program: the first home URL is built once per process. The build stamps this
// program with file version 1.2.3.4.
TEST(JavaItemDataManager, OnlyTheFirstHomeUrlOfTheProcessCarriesTheQuery)
{
    CTestRegistry registry;
    registry.Set("ComponentWebServer", "http://web.example");
    registry.Set("Key", "4711");
    CHeadlessModalRunner runner;
    CJavaItemDataManager manager(runner);
    manager.SetLauncher(1);
    const CTreeItem home(ITEM_HOME, "Home");

    EXPECT_EQ(CJavaItemDataManager::GetVersionText(), "1.2.196612");
    std::string url;
    ASSERT_TRUE(manager.GetItemURL(home, url));
    EXPECT_EQ(url, "http://web.example/vantrel/javatab/home.jsp?version=1.2.196612&launcher=1&id=4711");
    ASSERT_TRUE(manager.GetItemURL(home, url));
    EXPECT_EQ(url, "http://web.example/vantrel/javatab/home.jsp");
    CJavaItemDataManager other(runner);
    ASSERT_TRUE(other.GetItemURL(home, url));
    EXPECT_EQ(url, "http://web.example/vantrel/javatab/home.jsp");
}
