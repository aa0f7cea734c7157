#include "MarketTabPage.h"

#include <memory>
#include <optional>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "FlatButton.h"
#include "ProgressDialog.h"
#include "QtModalRunner.h"
#include "ShellTestSupport.h"
#include "support/TestSupport.h"

namespace
{
struct CDialogSeen
{
    QString caption;
    bool barVisible = false;
    bool cancelEnabled = false;
};

class MarketTabPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_runner.SetShownHook([this](CProgressDialog& dialog) {
            m_dialogs.push_back({dialog.windowTitle(), dialog.GetProgressBar()->isVisible(),
                                 dialog.GetCancelButton()->isEnabled()});
        });
        m_page = std::make_unique<CMarketTabPage>(m_owner, m_runner, m_prompt);
        m_page->InitDialog();
        m_page->resize(800, 400);
        m_page->show();
    }

    void TearDown() override { m_page.reset(); }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CRecordingOwner m_owner;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
    std::unique_ptr<CMarketTabPage> m_page;
    std::vector<CDialogSeen> m_dialogs;
};
}  // namespace

TEST_F(MarketTabPageTest, FirstActivationDownloadsTheIndexAndListsCategoriesInItsOrder)
{
    ASSERT_TRUE(ActivatePage(*m_page));
    ASSERT_FALSE(m_dialogs.empty());
    EXPECT_EQ(m_dialogs[0].caption, "Downloading ...");
    EXPECT_FALSE(m_dialogs[0].cancelEnabled);
    QTreeWidget* tree = m_page->GetTree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "User Interface");
    EXPECT_EQ(tree->topLevelItem(3)->text(0), "Data Access");
    ASSERT_TRUE(WaitForPage(*m_page, "/vantrel/markettab/home.jsp?sid=S42"));

    QTreeWidgetItem* data = tree->topLevelItem(3);
    tree->expandItem(data);
    ASSERT_EQ(data->childCount(), 2);
    EXPECT_EQ(data->child(0)->text(0), "JDBC Drivers");
    tree->expandItem(data->child(0));
    ASSERT_EQ(data->child(0)->childCount(), 2);
    tree->setCurrentItem(data->child(0)->child(1));
    EXPECT_EQ(m_owner.LastReport(), "Data Access/JDBC Drivers/Pool Manager");
    EXPECT_TRUE(WaitForPage(*m_page, "/components/view.jsp?prodid=12&sid=S42"));
}

TEST_F(MarketTabPageTest, TheSearchBoxTakesTheComboBoxsPlace)
{
    ASSERT_TRUE(ActivatePage(*m_page));
    EXPECT_FALSE(m_page->GetSearchKinds()->isVisible());
    EXPECT_EQ(m_page->GetSearchEdit()->x(), 2);
    EXPECT_LT(m_page->GetSearchEdit()->geometry().right(), m_page->GetButton(CTabPage::kSearchId)->x());
}

TEST_F(MarketTabPageTest, SearchRunsWithoutAProgressBarAndKeepsTheServersOrder)
{
    ASSERT_TRUE(ActivatePage(*m_page));
    m_dialogs.clear();
    m_server.SetMarketSearchAnswer(R"(<marketsearch><component id="31" name="Grid Pro"/>)"
                                   R"(<component id="11" name="FastDB Driver"/></marketsearch>)");
    m_page->GetSearchEdit()->setText(QStringLiteral("grid"));
    QTest::keyClick(m_page->GetSearchEdit(), Qt::Key_Return);
    ASSERT_TRUE(WaitFor([this] { return m_page->GetSearchResultsItem()->childCount() == 2; }));
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0].caption, "Searching...");
    EXPECT_FALSE(m_dialogs[0].barVisible);
    EXPECT_EQ(m_server.TargetsContaining("/components/xmlsearchresults.jsp"),
              (std::vector<std::string>{"/components/xmlsearchresults.jsp?lparam=grid&sid=S42"}));
    EXPECT_EQ(m_page->GetSearchResultsItem()->child(0)->text(0), "Grid Pro");
    EXPECT_EQ(m_page->GetSearchResultsItem()->child(1)->text(0), "FastDB Driver");
    EXPECT_EQ(m_owner.LastReport(), "Search Results/Grid Pro");
    EXPECT_TRUE(WaitForPage(*m_page, "/components/view.jsp?prodid=31&sid=S42"));
}
