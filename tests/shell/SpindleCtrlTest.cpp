#include "SpindleCtrl.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "FlatButton.h"
#include "JavaTabPage.h"
#include "OptionsDlg.h"
#include "QtModalRunner.h"
#include "ShellTestSupport.h"
#include "TabStrip.h"
#include "support/TestSupport.h"

namespace
{
using CTexts = std::vector<std::string>;

class CRecordingSink : public ISpindleCtrlEvents
{
public:
    void TreeSelectionChanged(const std::string& selection) override { m_events.push_back(selection); }
    CTexts m_events;
};

class CThrowingSink : public ISpindleCtrlEvents
{
public:
    void TreeSelectionChanged(const std::string&) override { throw std::runtime_error("client gone"); }
};

// The control with a Java page that logs what reaches it of the switching.
class CLoggingCtrl : public CSpindleCtrl
{
public:
    using CSpindleCtrl::CSpindleCtrl;
    CTexts m_log;

protected:
    class CPage : public CJavaTabPage
    {
    public:
        CPage(CLoggingCtrl& ctrl, QWidget* parent)
            : CJavaTabPage(ctrl, ctrl.Runner(), ctrl.Prompt(), parent), m_log(ctrl.m_log)
        {
        }

    protected:
        void OnFirstActivate() override
        {
            m_log.push_back("first activate");
            CJavaTabPage::OnFirstActivate();
        }
        void OnActivate() override
        {
            m_log.push_back("activate");
            CJavaTabPage::OnActivate();
        }
        void OnDeactivate() override
        {
            m_log.push_back("deactivate");
            CJavaTabPage::OnDeactivate();
        }

    private:
        CTexts& m_log;
    };

    CTabPage* CreatePage(int index, QWidget* parent) override
    {
        return index == kJavaPage ? new CPage(*this, parent) : CSpindleCtrl::CreatePage(index, parent);
    }
};

CTexts TopTexts(const QTreeWidget* tree)
{
    CTexts texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts.push_back(tree->topLevelItem(i)->text(0).toStdString());
    return texts;
}

class SpindleCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_registry.Set("OfflineMode", "1");
        WriteFileText(m_registry.DataDir() + "/Local/components.xml",
                      "<components><component SCID=\"S-3\"><componentName>FastDB Driver</componentName><categories>"
                      "<category><primaryCategory>Data Access</primaryCategory><secondaryCategory>JDBC"
                      "</secondaryCategory></category></categories></component></components>");
        m_host.resize(900, 600);
    }

    void TearDown() override
    {
        m_ctrl.reset();
        EXPECT_TRUE(m_prompt.Shown().empty());
    }

    // Creates the control's window in a window of the host, as the host does.
    void Create(std::unique_ptr<CSpindleCtrl> ctrl = nullptr)
    {
        m_ctrl = ctrl ? std::move(ctrl) : std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
        m_ctrl->Advise(&m_sink);
        QWidget* window = m_ctrl->CreateControlWindow(&m_host);
        ASSERT_NE(window, nullptr);
        window->resize(m_host.size());
        m_host.show();
        ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kJavaPage));
    }

    CTabPage& Page(int index) const { return *m_ctrl->GetPage(index); }

    // The page's first activation has run and, where it has a tree, filled it.
    bool WaitForActivation(int index)
    {
        CTabPage& page = Page(index);
        return WaitFor([&page] { return !page.IsNeverActivated(); }) &&
               (index == CSpindleCtrl::kTestingPage || WaitFor([&] { return page.GetTree()->topLevelItemCount(); }));
    }

    // Switches by name and waits until the page switched to has reported its selection.
    bool ShowTabAndWait(const std::string& name)
    {
        const size_t before = m_sink.m_events.size();
        m_ctrl->ShowTab(name);
        return WaitFor([&] { return m_sink.m_events.size() > before; });
    }

    // Answers the Options dialog, opened from the page, once it shows: change(), then OK.
    void RunOptions(CTabPage& page, std::function<void(COptionsDlg&)> change)
    {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* dialog = dynamic_cast<COptionsDlg*>(QApplication::activeModalWidget())) {
                timer.stop();
                change(*dialog);
                QTest::mouseClick(dialog->GetOkButton(), Qt::LeftButton);
            }
        });
        timer.start(20);
        QTest::mouseClick(page.GetButton(CTabPage::kOptionsId), Qt::LeftButton);
    }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
    CRecordingSink m_sink;
    QWidget m_host;
    std::unique_ptr<CSpindleCtrl> m_ctrl;
};
}  // namespace

TEST_F(SpindleCtrlTest, FourTabsWithJavaActivatedItsLabelBoldAndThePageBelowTheStrip)
{
    Create();
    CTabStrip& strip = *m_ctrl->GetTabStrip();
    ASSERT_EQ(strip.count(), 4);
    for (int index = 0; index < 4; ++index)
        EXPECT_EQ(strip.tabText(index).toStdString(), Page(index).GetName());
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kJavaPage);
    // Selecting Home reports, and so does the end of the first activation.
    EXPECT_EQ(m_sink.m_events, (CTexts{"Home", "Home"}));
    for (int index : {1, 2, 3})
        EXPECT_TRUE(Page(index).IsNeverActivated() && !Page(index).isVisible()) << index;

    EXPECT_EQ(strip.LabelFont(0).weight(), QFont::Bold);
    EXPECT_NE(strip.LabelFont(2).weight(), QFont::Bold);
    m_ctrl->SelectTab(CSpindleCtrl::kMarketPage);
    EXPECT_NE(strip.LabelFont(0).weight(), QFont::Bold);
    EXPECT_EQ(strip.LabelFont(2).weight(), QFont::Bold);

    // For looking at the control: CORVANE_SHOT_DIR names a folder for a picture of it.
    if (const char* shots = std::getenv("CORVANE_SHOT_DIR")) {
        m_ctrl->SelectTab(CSpindleCtrl::kJavaPage);
        Pump(std::chrono::milliseconds(1000));
        m_host.grab().save(QDir(QString::fromLocal8Bit(shots)).filePath(QStringLiteral("Control.png")));
    }

    m_ctrl->GetWindow()->resize(1000, 700);
    EXPECT_EQ(m_ctrl->GetTabControl()->geometry(), QRect(0, 0, 1000, 700));
    const QRect page = Page(m_ctrl->GetCurrentPage()).geometry();
    EXPECT_GE(page.top(), CSpindleCtrl::kPageTop);
    EXPECT_GT(page.top(), strip.geometry().bottom());
    EXPECT_EQ(page, QRect(2, page.top(), 996, 700 - page.top() - 3));
}

// Only the page shown has a browser, made once the page was painted; the control's keys act
// on the page shown as its buttons and its search box would.
TEST_F(SpindleCtrlTest, OnlyThePageShownHasABrowserAndTheKeysActOnIt)
{
    Create();
    CTabPage& java = Page(CSpindleCtrl::kJavaPage);
    EXPECT_TRUE(WaitFor([&] { return java.HasBrowser(); }));
    for (int index : {1, 2, 3})
        EXPECT_FALSE(Page(index).HasBrowser()) << index;
    ASSERT_TRUE(WaitForPage(java, "/vantrel/javatab/home.jsp"));
    java.GetTree()->setCurrentItem(java.GetSearchResultsItem());
    ASSERT_TRUE(WaitForPage(java, "/vantrel/javatab/search.jsp"));

    m_host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_host));
    QWidget* window = m_ctrl->GetWindow();
    QTest::keyClick(window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(WaitForPage(java, "/vantrel/javatab/home.jsp"));
    EXPECT_EQ(java.GetHistoryPosition(), 0);
    QTest::keyClick(window, Qt::Key_Right, Qt::AltModifier);
    EXPECT_TRUE(WaitForPage(java, "/vantrel/javatab/search.jsp"));
    EXPECT_EQ(java.GetHistoryPosition(), 1);
    const size_t loads = m_server.TargetsContaining("/vantrel/javatab/search.jsp").size();
    QTest::keyClick(window, Qt::Key_F5);
    EXPECT_TRUE(WaitFor([&] { return m_server.TargetsContaining("/vantrel/javatab/search.jsp").size() > loads; }));
    QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(java.GetSearchEdit()->hasFocus());
}

TEST_F(SpindleCtrlTest, ShowTabMatchesTheTabNamesExactly)
{
    Create();
    ASSERT_TRUE(ShowTabAndWait("Local"));
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1);
    const size_t events = m_sink.m_events.size();
    for (const char* name : {"java", "Java ", "Search Results", "Home", ""}) {
        EXPECT_EQ(m_ctrl->ShowTab(name), S_OK) << name;
        EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kLocalPage) << name;
        EXPECT_EQ(m_ctrl->GetTabStrip()->currentIndex(), CSpindleCtrl::kLocalPage) << name;
    }
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(m_sink.m_events.size(), events) << "nothing was switched";
}

TEST_F(SpindleCtrlTest, ShowTabOnTheCurrentTabDeactivatesAndActivatesItAgain)
{
    auto ctrl = std::make_unique<CLoggingCtrl>(m_runner, m_prompt);
    CLoggingCtrl& logging = *ctrl;
    Create(std::move(ctrl));
    m_sink.m_events.clear();

    logging.ShowTab("Java");
    ASSERT_TRUE(WaitFor([&] { return logging.m_log.size() == 3 && !m_sink.m_events.empty(); }));
    EXPECT_EQ(logging.m_log, (CTexts{"first activate", "deactivate", "activate"}));
    EXPECT_EQ(m_sink.m_events, (CTexts{"Home"})) << "the page reports its selection again";
    EXPECT_TRUE(Page(CSpindleCtrl::kJavaPage).isVisible());

    // A click on the tab already selected is no switch.
    logging.GetTabStrip()->setCurrentIndex(CSpindleCtrl::kJavaPage);
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(logging.m_log.size(), 3u);
}

TEST_F(SpindleCtrlTest, ASelectionInAPageNotShownFiresNothingUntilItsTabIsChosen)
{
    Create();
    ASSERT_TRUE(ShowTabAndWait("Local"));
    ASSERT_TRUE(ShowTabAndWait("Java"));
    m_sink.m_events.clear();

    QTreeWidget* localTree = Page(CSpindleCtrl::kLocalPage).GetTree();
    ASSERT_EQ(TopTexts(localTree), (CTexts{"Home", "Search Results", "Data Access"}));
    localTree->setCurrentItem(localTree->topLevelItem(2));
    Pump(std::chrono::milliseconds(100));
    EXPECT_TRUE(m_sink.m_events.empty());

    // The user chooses the Local tab, then the Testing tab, whose tree is empty.
    m_ctrl->GetTabStrip()->setCurrentIndex(CSpindleCtrl::kLocalPage);
    ASSERT_TRUE(WaitFor([&] { return m_sink.m_events.size() == 1; }));
    m_ctrl->GetTabStrip()->setCurrentIndex(CSpindleCtrl::kTestingPage);
    ASSERT_TRUE(WaitFor([&] { return m_sink.m_events.size() == 2; }));
    EXPECT_EQ(m_sink.m_events, (CTexts{"Data Access", ""}));
}

TEST_F(SpindleCtrlTest, EverySinkIsToldAndAFailingOneIsPassedOver)
{
    CThrowingSink throwing;
    CRecordingSink gone;
    auto ctrl = std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
    ctrl->Advise(&throwing);
    ctrl->Advise(&gone);
    ctrl->Unadvise(&gone);
    Create(std::move(ctrl));
    EXPECT_EQ(m_sink.m_events, (CTexts{"Home", "Home"}));
    EXPECT_TRUE(gone.m_events.empty());
    m_ctrl->Unadvise(&throwing);
}

TEST_F(SpindleCtrlTest, OptionsOkRefreshesJavaAndLeavesANeverShownLocalPageEmptyUntilItsFirstActivation)
{
    Create();
    CTabPage& java = Page(CSpindleCtrl::kJavaPage);
    m_sink.m_events.clear();
    RunOptions(java, [](COptionsDlg& dialog) {
        dialog.GetTechnologyTree()->findItems("Swing", Qt::MatchExactly).value(0)->setCheckState(0, Qt::Unchecked);
    });
    EXPECT_EQ(TopTexts(java.GetTree()), (CTexts{"Home", "Search Results", "JDK 1.2"}));
    EXPECT_EQ(m_sink.m_events, (CTexts{"", "Home"}));

    CTabPage& local = Page(CSpindleCtrl::kLocalPage);
    EXPECT_TRUE(local.IsNeverActivated());
    EXPECT_EQ(local.GetTree()->topLevelItemCount(), 0);
    ASSERT_TRUE(ShowTabAndWait("Local"));
    EXPECT_EQ(TopTexts(local.GetTree()), (CTexts{"Home", "Search Results", "Data Access"}));
}

TEST_F(SpindleCtrlTest, ShowJavaItemSelectsJavaAndSearchesBeforeItReturns)
{
    m_server.SetJavaSearchAnswer("<results><class><className>Vector</className>"
                                 "<packageName>java.util</packageName></class></results>");
    Create();
    ASSERT_TRUE(ShowTabAndWait("Marketplace"));
    ASSERT_EQ(m_ctrl->ShowJavaItem("java.util", "Vector", ""), S_OK);
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kJavaPage);
    CTabPage& java = Page(CSpindleCtrl::kJavaPage);
    EXPECT_EQ(java.GetSearchResultsItem()->childCount(), 2) << "one hit from each shown technology";
    EXPECT_EQ(java.GetSearchEdit()->text(), "Vector");
    EXPECT_TRUE(java.isVisible() && !Page(CSpindleCtrl::kMarketPage).isVisible());
}

TEST_F(SpindleCtrlTest, NestedBusyPairsRestoreTheCursorOnlyAfterTheOutermostEnd)
{
    Create();
    // The pages' own pairs are balanced once the page shown has loaded.
    ASSERT_TRUE(WaitFor([&] { return m_ctrl->GetBusyCount() == 0; }));
    QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    m_ctrl->BeginBusy();
    m_ctrl->BeginBusy();
    m_ctrl->EndBusy();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_ctrl->EndBusy();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SpindleCtrlTest, WithoutItsWindowTheControlHasNoTabs)
{
    const int before = CSpindleCtrl::GetInstanceCount();
    m_ctrl = std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
    EXPECT_EQ(m_ctrl->ShowJavaItem("java.util", "", ""), S_OK);
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1);
    EXPECT_EQ(CSpindleCtrl::GetInstanceCount(), before + 1);

    // The host's order: the window goes first.
    Create(std::move(m_ctrl));
    delete m_ctrl->GetWindow();
    EXPECT_EQ(m_ctrl->GetPageCount(), 0);
    EXPECT_FALSE(m_ctrl->SelectTab(0));
    m_ctrl.reset();
    EXPECT_EQ(CSpindleCtrl::GetInstanceCount(), before);
    EXPECT_TRUE(m_server.TargetsContaining("/search-").empty());

    // A control that goes first takes its window along.
    Create();
    QPointer<QWidget> window = m_ctrl->GetWindow();
    m_ctrl.reset();
    EXPECT_TRUE(window.isNull());
}
