#include "TabPage.h"

#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QToolTip>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "BusyAnimation.h"
#include "FlatButton.h"
#include "JavaTabPage.h"
#include "Messages.h"
#include "ProgressDialog.h"
#include "QtModalRunner.h"
#include "Settings.h"
#include "SeparatorLine.h"
#include "ShellTestSupport.h"
#include "SplitterBar.h"
#include "support/TestSupport.h"

namespace
{
const char* const kTwoHits = "<results><class><className>Vector</className><packageName>java.util</packageName></class>"
                             "<class><className>Stack</className><packageName>java.util</packageName></class></results>";

std::vector<std::string> Texts(const QTreeWidgetItem* parent, const QTreeWidget* tree)
{
    std::vector<std::string> texts;
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i)
        texts.push_back((parent ? parent->child(i) : tree->topLevelItem(i))->text(0).toStdString());
    return texts;
}

QTreeWidgetItem* Child(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& text)
{
    const int count = parent ? parent->childCount() : tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = parent ? parent->child(i) : tree->topLevelItem(i);
        if (item->text(0).toStdString() == text)
            return item;
    }
    return nullptr;
}

// A collection whose index cannot be made ready.
class CBrokenManager : public CItemDataManager
{
public:
    bool UpdateIndex() override { return false; }
};

class CBrokenPage : public CTabPage
{
public:
    CBrokenPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt)
        : CTabPage(owner, runner, prompt, "Broken", 102, 0)
    {
    }

protected:
    void CreateDataManager() override { SetDataManager(std::make_unique<CBrokenManager>()); }
};

class TabPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_registry.Set("OfflineMode", "1");
    }

    std::unique_ptr<CJavaTabPage> OpenPage()
    {
        auto page = std::make_unique<CJavaTabPage>(m_owner, m_runner, m_prompt);
        page->InitDialog();
        page->resize(900, 520);
        page->show();
        EXPECT_TRUE(ActivatePage(*page));
        EXPECT_TRUE(WaitForPage(*page, "/vantrel/javatab/home.jsp"));
        return page;
    }

    // Runs a class search for text with the Search button.
    void SearchWithButton(CTabPage& page, const std::string& text)
    {
        page.GetSearchKinds()->setCurrentIndex(1);
        page.GetSearchEdit()->setText(QString::fromStdString(text));
        QTest::mouseClick(page.GetButton(CTabPage::kSearchId), Qt::LeftButton);
    }

    std::vector<std::string> SearchTargets() const { return m_server.TargetsContaining("/search-"); }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CRecordingOwner m_owner;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
};
}  // namespace

TEST_F(TabPageTest, FirstActivationFillsTheTreeSelectsHomeAndReports)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    EXPECT_EQ(Texts(nullptr, tree), (std::vector<std::string>{"Home", "Search Results", "JDK 1.2", "Swing"}));
    EXPECT_EQ(page->GetSelectionPath(), "Home");
    EXPECT_EQ(m_owner.Reports(), (std::vector<std::string>{"Home", "Home"}));
    EXPECT_EQ(tree->selectedItems().value(0), page->GetHomeItem());
    EXPECT_EQ(page->GetHomeItem()->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(Child(tree, nullptr, "JDK 1.2")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(page->GetHistoryPosition(), 0);
    EXPECT_FALSE(page->GetButton(CTabPage::kBackId)->isEnabled());
    EXPECT_FALSE(page->GetButton(CTabPage::kStopId)->isEnabled());
    EXPECT_TRUE(page->GetButton(CTabPage::kRefreshId)->isEnabled());
    EXPECT_FALSE(page->GetAnimation()->IsPlaying());
    EXPECT_EQ(m_owner.GetBusyDepth(), 0);
    EXPECT_FALSE(m_owner.BusyWentNegative());
    EXPECT_GE(m_owner.GetMaxBusyDepth(), 1);

    // Later activations only report again.
    PostMessage(page->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    ASSERT_TRUE(WaitFor([this] { return m_owner.Reports().size() == 3; }));
    EXPECT_EQ(tree->topLevelItemCount(), 4);
}

TEST_F(TabPageTest, ACollectionThatCannotLoadLeavesTheTreeEmptyAndReportsAnEmptyPath)
{
    CBrokenPage page(m_owner, m_runner, m_prompt);
    page.InitDialog();
    page.show();
    PostMessage(page.GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !m_owner.Reports().empty(); }));
    EXPECT_EQ(page.GetTree()->topLevelItemCount(), 0);
    EXPECT_EQ(m_owner.Reports(), (std::vector<std::string>{""}));
    // A search on a page without "Search Results" changes nothing.
    QTest::mouseClick(page.GetButton(CTabPage::kSearchId), Qt::LeftButton);
    EXPECT_EQ(page.GetTree()->topLevelItemCount(), 0);
}

TEST_F(TabPageTest, ExpandingAnItemTwiceListsItsChildrenOnce)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    QTreeWidgetItem* jdk = Child(tree, nullptr, "JDK 1.2");
    tree->expandItem(jdk);
    EXPECT_EQ(Texts(jdk, tree), (std::vector<std::string>{"java.lang", "java.util"}));
    tree->collapseItem(jdk);
    tree->expandItem(jdk);
    EXPECT_EQ(Texts(jdk, tree), (std::vector<std::string>{"java.lang", "java.util"}));

    QTreeWidgetItem* util = Child(tree, jdk, "java.util");
    tree->expandItem(util);
    tree->collapseItem(util);
    tree->expandItem(util);
    EXPECT_EQ(Texts(util, tree), (std::vector<std::string>{"AbstractList", "HashMap", "Map.Entry", "Vector"}));
    EXPECT_EQ(m_server.TargetsContaining("/xql.dll/vantrel/java/data/jdk/java.util.xml").size(), 1u);
    // Classes have no children and so no expand button.
    EXPECT_EQ(Child(tree, util, "Vector")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(m_owner.GetBusyDepth(), 0);
}

TEST_F(TabPageTest, SelectingAnItemReportsItsPathAndShowsItsPage)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    QTreeWidgetItem* jdk = Child(tree, nullptr, "JDK 1.2");
    tree->expandItem(jdk);
    QTreeWidgetItem* util = Child(tree, jdk, "java.util");
    tree->expandItem(util);
    tree->setCurrentItem(Child(tree, util, "Vector"));
    EXPECT_EQ(m_owner.LastReport(), "JDK 1.2/java.util/Vector");
    EXPECT_EQ(page->GetSelectionPath(), "JDK 1.2/java.util/Vector");
    ASSERT_TRUE(WaitForPage(*page, "/docs/api/java/util/Vector.html"));
    EXPECT_EQ(page->GetBrowser()->title(), "Vector (JDK 1.2)");
    EXPECT_EQ(page->GetHistoryPosition(), 1);
    EXPECT_TRUE(page->GetButton(CTabPage::kBackId)->isEnabled());
    EXPECT_EQ(m_owner.GetBusyDepth(), 0);
}

TEST_F(TabPageTest, EnterRunsTheSameSearchAsTheSearchButton)
{
    m_server.SetJavaSearchAnswer(kTwoHits);
    auto page = OpenPage();
    SearchWithButton(*page, "Vector");
    const std::vector<std::string> byButton = SearchTargets();
    const std::vector<std::string> resultsByButton = Texts(page->GetSearchResultsItem(), page->GetTree());
    ASSERT_EQ(byButton.size(), 2u) << "one request per shown technology";
    EXPECT_EQ(resultsByButton.size(), 4u);
    EXPECT_EQ(m_owner.LastReport(), "Search Results/" + resultsByButton.front());

    m_server.ClearTargets();
    QTest::keyClick(page->GetSearchEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([this] { return SearchTargets().size() == 2; }));
    ASSERT_TRUE(WaitFor([&] { return page->GetSearchResultsItem()->childCount() == 4; }));
    EXPECT_EQ(SearchTargets(), byButton);
    EXPECT_EQ(Texts(page->GetSearchResultsItem(), page->GetTree()), resultsByButton);
    EXPECT_TRUE(m_prompt.Shown().empty());
}

TEST_F(TabPageTest, AnEnterPressedElsewhereAndLetGoInTheBoxStartsNoSearch)
{
    auto page = OpenPage();
    page->GetSearchEdit()->setFocus();
    QTest::keyRelease(page->GetSearchEdit(), Qt::Key_Return);
    Pump(std::chrono::milliseconds(200));
    EXPECT_TRUE(SearchTargets().empty());
}

TEST_F(TabPageTest, AnEmptySearchTextStillSearchesAndNoHitsShowTheMessage)
{
    auto page = OpenPage();
    SearchWithButton(*page, "");
    EXPECT_EQ(SearchTargets().size(), 2u);
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text, "There were no search results found.");
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(page->GetTree()->selectedItems().value(0), page->GetSearchResultsItem());
}

TEST_F(TabPageTest, ASecondSearchClearsTheOldResultsEvenWhenCancelled)
{
    m_server.SetJavaSearchAnswer(kTwoHits);
    auto page = OpenPage();
    SearchWithButton(*page, "Vector");
    ASSERT_EQ(page->GetSearchResultsItem()->childCount(), 4);
    EXPECT_EQ(page->GetSearchResultsItem()->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    const size_t records = page->GetRecordCount();

    m_server.SetDelay(std::chrono::milliseconds(800));
    m_runner.SetShownHook([](CProgressDialog& dialog) { QTest::mouseClick(dialog.GetCancelButton(), Qt::LeftButton); });
    SearchWithButton(*page, "Stack");
    EXPECT_EQ(page->GetSearchResultsItem()->childCount(), 0);
    EXPECT_EQ(page->GetSearchResultsItem()->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
    EXPECT_EQ(page->GetTree()->selectedItems().value(0), page->GetSearchResultsItem());
    EXPECT_EQ(m_owner.LastReport(), "Search Results");
    EXPECT_TRUE(m_prompt.Shown().empty()) << "a cancelled search shows nothing";
    EXPECT_EQ(page->GetRecordCount(), records) << "the page keeps every record it inserted";
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/javatab/search.jsp"));
}

TEST_F(TabPageTest, SelectingSearchResultsWithoutChildrenShowsTheSearchPage)
{
    auto page = OpenPage();
    page->GetTree()->setCurrentItem(page->GetSearchResultsItem());
    EXPECT_EQ(m_owner.LastReport(), "Search Results");
    EXPECT_TRUE(WaitForPage(*page, "/vantrel/javatab/search.jsp"));
}

TEST_F(TabPageTest, BackAndForwardClearTheSelectionAndFollowTheHistory)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    auto click = [&page](int id) { QTest::mouseClick(page->GetButton(id), Qt::LeftButton); };
    auto enabled = [&page](int id) { return page->GetButton(id)->isEnabled(); };

    tree->setCurrentItem(Child(tree, nullptr, "JDK 1.2"));
    ASSERT_TRUE(WaitForPage(*page, "/technology/jdk.jsp"));
    EXPECT_EQ(page->GetHistoryPosition(), 1);
    EXPECT_EQ(page->GetHistoryEnd(), 1);

    // Back to the first page: Back off, Forward on.
    click(CTabPage::kBackId);
    EXPECT_EQ(m_owner.LastReport(), "");
    EXPECT_TRUE(tree->selectedItems().isEmpty());
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/javatab/home.jsp"));
    EXPECT_EQ(page->GetHistoryPosition(), 0);
    EXPECT_FALSE(enabled(CTabPage::kBackId));
    EXPECT_TRUE(enabled(CTabPage::kForwardId));

    click(CTabPage::kForwardId);
    ASSERT_TRUE(WaitForPage(*page, "/technology/jdk.jsp"));
    EXPECT_EQ(page->GetHistoryPosition(), 1);
    EXPECT_TRUE(enabled(CTabPage::kBackId));
    EXPECT_FALSE(enabled(CTabPage::kForwardId));

    // Back onto the search page, which is selected again: the same page is no new place
    // in the history, so Forward stays; Forward then clears that selection.
    tree->setCurrentItem(page->GetSearchResultsItem());
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/javatab/search.jsp"));
    tree->setCurrentItem(Child(tree, nullptr, "Swing"));
    ASSERT_TRUE(WaitForPage(*page, "/technology/swing.jsp"));
    click(CTabPage::kBackId);
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/javatab/search.jsp"));
    ASSERT_EQ(page->GetHistoryPosition(), 2);
    tree->setCurrentItem(page->GetSearchResultsItem());
    EXPECT_FALSE(enabled(CTabPage::kForwardId)) << "disabled while the selected page loads";
    ASSERT_TRUE(WaitFor([&] { return enabled(CTabPage::kForwardId); }));
    EXPECT_EQ(page->GetHistoryPosition(), 2);
    EXPECT_EQ(m_owner.LastReport(), "Search Results");
    click(CTabPage::kForwardId);
    EXPECT_EQ(m_owner.LastReport(), "");
    EXPECT_TRUE(tree->selectedItems().isEmpty());
    ASSERT_TRUE(WaitForPage(*page, "/technology/swing.jsp"));
    EXPECT_EQ(page->GetHistoryPosition(), 3);

    // Back again, then a new navigation: nothing is left to go forward to.
    click(CTabPage::kBackId);
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/javatab/search.jsp"));
    ASSERT_TRUE(enabled(CTabPage::kForwardId));
    tree->setCurrentItem(Child(tree, nullptr, "JDK 1.2"));
    ASSERT_TRUE(WaitForPage(*page, "/technology/jdk.jsp"));
    EXPECT_EQ(page->GetHistoryPosition(), 3);
    EXPECT_EQ(page->GetHistoryEnd(), 3);
    EXPECT_FALSE(enabled(CTabPage::kForwardId));
    EXPECT_EQ(m_owner.GetBusyDepth(), 0);
}

TEST_F(TabPageTest, NavigatingToTheLastUrlAgainChangesNoCounter)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    tree->setCurrentItem(Child(tree, nullptr, "JDK 1.2"));
    ASSERT_TRUE(WaitForPage(*page, "/technology/jdk.jsp"));
    const int position = page->GetHistoryPosition();
    const int end = page->GetHistoryEnd();

    int loads = 0;
    QObject::connect(page->GetBrowser(), &QWebEngineView::loadFinished, page.get(), [&loads] { ++loads; });
    QTest::mouseClick(page->GetButton(CTabPage::kRefreshId), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return loads == 1 && page->GetButton(CTabPage::kRefreshId)->isEnabled(); }));
    EXPECT_EQ(page->GetHistoryPosition(), position);
    EXPECT_EQ(page->GetHistoryEnd(), end);

    // The rule itself, without a browser in between.
    page->NavigateComplete(page->GetLastUrl());
    EXPECT_EQ(page->GetHistoryPosition(), position);
    page->NavigateComplete("http://127.0.0.1:1/other");
    EXPECT_EQ(page->GetHistoryPosition(), position + 1);
    EXPECT_EQ(page->GetHistoryEnd(), position + 1);
}

TEST_F(TabPageTest, NavigationEventsDriveStopRefreshTheAnimationAndOneBusyCursor)
{
    auto page = OpenPage();
    const int depth = m_owner.GetBusyDepth();
    page->BeforeNavigate();
    page->BeforeNavigate();
    EXPECT_TRUE(page->GetButton(CTabPage::kStopId)->isEnabled());
    EXPECT_FALSE(page->GetButton(CTabPage::kRefreshId)->isEnabled());
    EXPECT_TRUE(page->GetAnimation()->IsPlaying());
    EXPECT_EQ(m_owner.GetBusyDepth(), depth + 1);
    page->NavigateComplete("http://127.0.0.1:1/next");
    EXPECT_FALSE(page->GetButton(CTabPage::kStopId)->isEnabled());
    EXPECT_TRUE(page->GetButton(CTabPage::kRefreshId)->isEnabled());
    EXPECT_FALSE(page->GetAnimation()->IsPlaying());
    EXPECT_EQ(page->GetAnimation()->GetFrame(), 0);
    EXPECT_EQ(m_owner.GetBusyDepth(), depth);
}

TEST_F(TabPageTest, ToolbarCommandsReachTheOwnerAndSupportPages)
{
    SetEmail("ada lovelace&co@example.org");
    auto page = OpenPage();
    QTest::mouseClick(page->GetButton(CTabPage::kOptionsId), Qt::LeftButton);
    EXPECT_EQ(m_owner.GetOptionsOpened(), 1);
    EXPECT_FALSE(page->GetButton(CTabPage::kChatId)->isVisible());
    EXPECT_FALSE(page->GetButton(CTabPage::kFeatureId)->isVisible());
    EXPECT_TRUE(page->GetButton(CTabPage::kBugId)->isVisible());

    // Setting values go into the support URLs as they are stored.
    EXPECT_EQ(CTabPage::BuildBugReportUrl(),
              m_server.BaseUrl() + "/vantrel/ui/support.jsp?platform=win&email=ada lovelace&co@example.org");
    page->OnFeature();
    EXPECT_EQ(m_owner.LastReport(), "");
    ASSERT_TRUE(WaitFor([this] { return !m_server.TargetsContaining("/vantrel/ui/request.jsp").empty(); }));
    EXPECT_EQ(m_server.TargetsContaining("/vantrel/ui/request.jsp")[0],
              "/vantrel/ui/request.jsp?email=ada%20lovelace&co@example.org");
}

TEST_F(TabPageTest, GrowingThePageMovesTheToolbarAndStretchesThePanes)
{
    auto page = OpenPage();
    const QRect edit = page->GetSearchEdit()->geometry();
    const QRect print = page->GetButton(CTabPage::kPrintId)->geometry();
    const QRect bug = page->GetButton(CTabPage::kBugId)->geometry();
    const QRect tree = page->GetTree()->geometry();
    const QRect browser = page->GetBrowserHost()->geometry();
    page->resize(page->width() + 120, page->height() + 60);
    Pump(std::chrono::milliseconds(20));
    EXPECT_EQ(page->GetSearchEdit()->geometry(), edit);
    EXPECT_EQ(page->GetButton(CTabPage::kPrintId)->geometry(), print.translated(120, 0));
    EXPECT_EQ(page->GetButton(CTabPage::kBugId)->geometry(), bug.translated(120, 0));
    EXPECT_EQ(page->GetTree()->geometry(), tree.adjusted(0, 0, 0, 60));
    EXPECT_EQ(page->GetBrowserHost()->geometry(), browser.adjusted(0, 0, 120, 60));
    // The first layout puts the animation and the browser 2 pixels from the right edge.
    EXPECT_EQ(page->GetAnimation()->geometry().right(), page->width() - 3);
    EXPECT_EQ(page->GetBrowserHost()->geometry().bottom(), page->height() - 3);
}

// Usable at 640 by 320 and at full screen: every visible toolbar control inside the page
// and clear of the others, tree and browser with room to read.
TEST_F(TabPageTest, UsableAtSmallAndFullScreenSizes)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    QTreeWidgetItem* jdk = Child(tree, nullptr, "JDK 1.2");
    tree->expandItem(jdk);
    QTreeWidgetItem* util = Child(tree, jdk, "java.util");
    tree->expandItem(util);
    tree->setCurrentItem(Child(tree, util, "Vector"));
    ASSERT_TRUE(WaitForPage(*page, "Vector.html"));

    const char* shots = std::getenv("CORVANE_SHOT_DIR");
    for (QSize size : {QSize(640, 320), QSize(1920, 1080)}) {
        page->resize(size);
        Pump(std::chrono::milliseconds(300));
        std::vector<QWidget*> toolbar{page->GetSearchKinds(), page->GetSearchEdit(), page->GetSeparator(),
                                      page->GetAnimation()};
        for (int id = CTabPage::kSearchId; id <= CTabPage::kPrintId; ++id) {
            if (page->GetButton(id)->isVisible())
                toolbar.push_back(page->GetButton(id));
        }
        for (size_t i = 0; i < toolbar.size(); ++i) {
            const QRect rect = toolbar[i]->geometry();
            EXPECT_TRUE(page->rect().contains(rect)) << size.width() << ": control " << i << " outside";
            EXPECT_GT(rect.width(), 0);
            for (size_t j = i + 1; j < toolbar.size(); ++j)
                EXPECT_FALSE(rect.intersects(toolbar[j]->geometry())) << size.width() << ": " << i << " and " << j;
            EXPECT_LE(rect.bottom(), tree->geometry().top());
        }
        EXPECT_GE(tree->width(), 100);
        EXPECT_GE(page->GetBrowserHost()->width(), 300);
        EXPECT_GE(page->GetBrowserHost()->height(), 200);
        EXPECT_TRUE(page->rect().contains(page->GetBrowserHost()->geometry()));
        EXPECT_EQ(page->GetSearchEdit()->height(), page->GetSearchKinds()->height());
        if (shots)
            page->grab().save(QDir(QString::fromLocal8Bit(shots))
                                  .filePath(QStringLiteral("java-page-%1x%2.png").arg(size.width()).arg(size.height())));
    }
}

TEST_F(TabPageTest, ThePageBackgroundShowsThePagesName)
{
    auto page = OpenPage();
    const QPoint background(page->width() - 1, page->height() - 1);
    ASSERT_EQ(page->childAt(background), nullptr);
    QHelpEvent onBackground(QEvent::ToolTip, background, page->mapToGlobal(background));
    QApplication::sendEvent(page.get(), &onBackground);
    EXPECT_EQ(QToolTip::text(), "Java");
    EXPECT_TRUE(QToolTip::isVisible());

    const QPoint onTree = page->GetTree()->geometry().center();
    QHelpEvent overTree(QEvent::ToolTip, onTree, page->mapToGlobal(onTree));
    QApplication::sendEvent(page.get(), &overTree);
    EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, std::chrono::seconds(2)));
}

TEST_F(TabPageTest, RefreshingTheTreeFillsItAgainAndReportsTheNewSelection)
{
    auto page = OpenPage();
    QTreeWidget* tree = page->GetTree();
    tree->expandItem(Child(tree, nullptr, "JDK 1.2"));
    tree->setCurrentItem(Child(tree, nullptr, "Swing"));
    page->RefreshTree();
    EXPECT_EQ(Texts(nullptr, tree), (std::vector<std::string>{"Home", "Search Results", "JDK 1.2", "Swing"}));
    EXPECT_EQ(Child(tree, nullptr, "JDK 1.2")->childCount(), 0);
    EXPECT_EQ(m_owner.LastReport(), "Home");
}
