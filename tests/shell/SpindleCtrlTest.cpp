#include "SpindleCtrl.h"

#include <cstdlib>
#include <memory>
#include <optional>
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
#include "Messages.h"
#include "OptionsDlg.h"
#include "QtModalRunner.h"
#include "ShellTestSupport.h"
#include "TabStrip.h"
#include "TestingTabPage.h"
#include "support/TestSupport.h"

namespace
{
const char* const kLocalIndex = R"(<?xml version="1.0"?>
<components>
  <component SCID="S-3"><componentName>FastDB Driver</componentName>
    <categories><category><primaryCategory>Data Access</primaryCategory>
      <secondaryCategory>JDBC Drivers</secondaryCategory></category></categories></component>
</components>
)";

const char* const kTwoHits = "<results><class><className>Vector</className><packageName>java.util</packageName></class>"
                             "<class><className>Stack</className><packageName>java.util</packageName></class></results>";

class CRecordingSink : public ISpindleCtrlEvents
{
public:
    void TreeSelectionChanged(const std::string& selection) override { m_events.push_back(selection); }

    std::vector<std::string> m_events;
};

class CThrowingSink : public ISpindleCtrlEvents
{
public:
    void TreeSelectionChanged(const std::string&) override
    {
        ++m_calls;
        throw std::runtime_error("client gone");
    }

    int m_calls = 0;
};

// The Java page, telling what reaches it of the control's switching.
class CLoggingJavaPage : public CJavaTabPage
{
public:
    CLoggingJavaPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, QWidget* parent,
                     std::vector<std::string>& log)
        : CJavaTabPage(owner, runner, prompt, parent), m_log(log)
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
    std::vector<std::string>& m_log;
};

class CLoggingCtrl : public CSpindleCtrl
{
public:
    CLoggingCtrl(IModalRunner& runner, IUserPrompt& prompt) : CSpindleCtrl(runner, prompt) {}

    std::vector<std::string> m_log;

protected:
    CTabPage* CreatePage(int index, QWidget* parent) override
    {
        if (index == kJavaPage)
            return new CLoggingJavaPage(*this, Runner(), Prompt(), parent, m_log);
        return CSpindleCtrl::CreatePage(index, parent);
    }
};

std::vector<std::string> TabTexts(const QTabBar& strip)
{
    std::vector<std::string> texts;
    for (int i = 0; i < strip.count(); ++i)
        texts.push_back(strip.tabText(i).toStdString());
    return texts;
}

std::vector<std::string> TopTexts(const QTreeWidget* tree)
{
    std::vector<std::string> texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts.push_back(tree->topLevelItem(i)->text(0).toStdString());
    return texts;
}

// Answers the Options dialog once it shows: change() edits it, then OK or Cancel.
void WhenOptionsShow(std::function<void(COptionsDlg&)> change, bool ok)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, change, ok] {
        auto* dialog = dynamic_cast<COptionsDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        change(*dialog);
        QTest::mouseClick(ok ? dialog->GetOkButton() : dialog->GetCancelButton(), Qt::LeftButton);
    });
    timer->start(20);
}

class SpindleCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_registry.Set("OfflineMode", "1");
        m_registry.Set("ComponentDatabase", "127.0.0.1:1");
        WriteFileText(m_registry.DataDir() + "/Local/components.xml", kLocalIndex);
        m_host.resize(900, 600);
    }

    void TearDown() override
    {
        m_ctrl.reset();
        EXPECT_TRUE(m_prompt.Shown().empty());
    }

    // Creates the control's window in the host window, as the host does.
    void Create(std::unique_ptr<CSpindleCtrl> ctrl = nullptr)
    {
        m_ctrl = ctrl ? std::move(ctrl) : std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
        m_ctrl->Advise(&m_sink);
        QWidget* window = m_ctrl->CreateControlWindow(&m_host);
        ASSERT_NE(window, nullptr);
        window->resize(m_host.size());
        m_host.show();
        ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kJavaPage));
        ASSERT_TRUE(WaitFor([this] { return !m_sink.m_events.empty(); }));
    }

    CTabPage& Page(int index) const { return *m_ctrl->GetPage(index); }

    // The page's first activation has run and, where its collection has one, filled its tree.
    bool WaitForActivation(int index)
    {
        CTabPage& page = Page(index);
        return WaitFor([&page] { return !page.IsNeverActivated(); }) &&
               (index == CSpindleCtrl::kTestingPage ||
                WaitFor([&page] { return page.GetTree()->topLevelItemCount() > 0; }));
    }

    // Switches by name and waits until the page switched to has reported its selection.
    bool ShowTabAndWait(const std::string& name)
    {
        const size_t before = m_sink.m_events.size();
        m_ctrl->ShowTab(name);
        return WaitFor([&] { return m_sink.m_events.size() > before; });
    }

    bool WaitForEvent(const std::string& selection)
    {
        return WaitFor([&] { return !m_sink.m_events.empty() && m_sink.m_events.back() == selection; });
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

TEST_F(SpindleCtrlTest, FourTabsInOrderWithJavaActivatedAndItsLabelBold)
{
    Create();
    ASSERT_EQ(m_ctrl->GetPageCount(), 4);
    EXPECT_EQ(TabTexts(*m_ctrl->GetTabStrip()), (std::vector<std::string>{"Java", "Local", "Marketplace", "Testing"}));
    for (int index = 0; index < 4; ++index)
        EXPECT_EQ(Page(index).GetName(), TabTexts(*m_ctrl->GetTabStrip())[static_cast<size_t>(index)]);
    EXPECT_NE(dynamic_cast<CTestingTabPage*>(&Page(CSpindleCtrl::kTestingPage)), nullptr);
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kJavaPage);
    // Selecting Home reports, and so does the first activation.
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"Home", "Home"}));
    EXPECT_TRUE(Page(CSpindleCtrl::kJavaPage).isVisible());
    for (int index : {1, 2, 3}) {
        EXPECT_FALSE(Page(index).isVisible()) << index;
        EXPECT_TRUE(Page(index).IsNeverActivated()) << index;
    }
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 0);

    // For looking at the control: CORVANE_SHOT_DIR names a folder for a picture of it.
    if (const char* shots = std::getenv("CORVANE_SHOT_DIR")) {
        WaitForPage(Page(CSpindleCtrl::kJavaPage), "/vantrel/javatab/home.jsp");
        Pump(std::chrono::milliseconds(500));
        m_host.grab().save(QDir(QString::fromLocal8Bit(shots)).filePath(QStringLiteral("Control.png")));
    }

    CTabStrip& strip = *m_ctrl->GetTabStrip();
    EXPECT_EQ(strip.LabelFont(0).weight(), QFont::Bold);
    EXPECT_NE(strip.LabelFont(1).weight(), QFont::Bold);
    EXPECT_EQ(strip.LabelFont(1).family(), strip.font().family());
    m_ctrl->SelectTab(CSpindleCtrl::kMarketPage);
    EXPECT_NE(strip.LabelFont(0).weight(), QFont::Bold);
    EXPECT_EQ(strip.LabelFont(2).weight(), QFont::Bold);
    // Room for the bold label on every tab.
    for (int index = 0; index < strip.count(); ++index) {
        QFont bold = strip.font();
        bold.setWeight(QFont::Bold);
        EXPECT_GT(strip.tabRect(index).width(), QFontMetrics(bold).horizontalAdvance(strip.tabText(index)));
    }
}

TEST_F(SpindleCtrlTest, TheCurrentPageFillsTheTabControlBelowTheStripAndFollowsItsSize)
{
    Create();
    QWidget* window = m_ctrl->GetWindow();
    for (const QSize size : {QSize(900, 600), QSize(1200, 800), QSize(640, 320)}) {
        window->resize(size);
        Pump(std::chrono::milliseconds(20));
        EXPECT_EQ(m_ctrl->GetTabControl()->geometry(), QRect(QPoint(0, 0), size));
        const QRect page = Page(m_ctrl->GetCurrentPage()).geometry();
        const int stripBottom = m_ctrl->GetTabStrip()->geometry().bottom();
        EXPECT_GE(page.top(), CSpindleCtrl::kPageTop);
        EXPECT_GT(page.top(), stripBottom);
        EXPECT_EQ(page.left(), 2);
        EXPECT_EQ(page.width(), size.width() - 4);
        EXPECT_EQ(page.bottom(), size.height() - 4);
    }
    // A page switched to takes the same place.
    const QRect java = Page(CSpindleCtrl::kJavaPage).geometry();
    m_ctrl->SelectTab(CSpindleCtrl::kTestingPage);
    EXPECT_EQ(Page(CSpindleCtrl::kTestingPage).geometry(), java);
}

TEST_F(SpindleCtrlTest, ShowTabMatchesTabNamesExactly)
{
    Create();
    ASSERT_EQ(m_ctrl->ShowTab("Local"), S_OK);
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kLocalPage);
    EXPECT_EQ(m_ctrl->GetTabStrip()->currentIndex(), CSpindleCtrl::kLocalPage);
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1);
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kLocalPage));
    const size_t events = m_sink.m_events.size();

    for (const char* name : {"java", "JAVA", "Java ", "Search Results", "Home", "", "Marketplace/"}) {
        EXPECT_EQ(m_ctrl->ShowTab(name), S_OK) << name;
        EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kLocalPage) << name;
        EXPECT_EQ(m_ctrl->GetTabStrip()->currentIndex(), CSpindleCtrl::kLocalPage) << name;
    }
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(m_sink.m_events.size(), events) << "nothing was switched";
    EXPECT_TRUE(Page(CSpindleCtrl::kLocalPage).isVisible());

    m_ctrl->ShowTab("Marketplace");
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kMarketPage);
    EXPECT_FALSE(Page(CSpindleCtrl::kLocalPage).isVisible());
    EXPECT_TRUE(Page(CSpindleCtrl::kMarketPage).isVisible());
}

TEST_F(SpindleCtrlTest, ShowTabOnTheCurrentTabDeactivatesAndActivatesItAgain)
{
    auto ctrl = std::make_unique<CLoggingCtrl>(m_runner, m_prompt);
    CLoggingCtrl& logging = *ctrl;
    Create(std::move(ctrl));
    ASSERT_EQ(logging.m_log, (std::vector<std::string>{"first activate"}));
    m_sink.m_events.clear();

    logging.ShowTab("Java");
    ASSERT_TRUE(WaitFor([&] { return logging.m_log.size() == 3; }));
    EXPECT_EQ(logging.m_log, (std::vector<std::string>{"first activate", "deactivate", "activate"}));
    EXPECT_EQ(logging.GetCurrentPage(), CSpindleCtrl::kJavaPage);
    EXPECT_TRUE(Page(CSpindleCtrl::kJavaPage).isVisible());
    ASSERT_TRUE(WaitForEvent("Home"));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"Home"})) << "the page re-reports its selection";

    // A click on the tab that is already selected changes nothing.
    logging.GetTabStrip()->setCurrentIndex(CSpindleCtrl::kJavaPage);
    Pump(std::chrono::milliseconds(100));
    EXPECT_EQ(logging.m_log.size(), 3u);
}

TEST_F(SpindleCtrlTest, ASelectionInAPageNotShownFiresNothingUntilThePageIsSwitchedTo)
{
    Create();
    ASSERT_TRUE(ShowTabAndWait("Local"));
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kLocalPage));
    ASSERT_TRUE(ShowTabAndWait("Java"));
    EXPECT_EQ(m_sink.m_events.back(), "Home");
    m_sink.m_events.clear();

    QTreeWidget* localTree = Page(CSpindleCtrl::kLocalPage).GetTree();
    ASSERT_EQ(TopTexts(localTree), (std::vector<std::string>{"Home", "Search Results", "Data Access"}));
    localTree->setCurrentItem(localTree->topLevelItem(2));
    ASSERT_EQ(Page(CSpindleCtrl::kLocalPage).GetSelectionPath(), "Data Access");
    Pump(std::chrono::milliseconds(100));
    EXPECT_TRUE(m_sink.m_events.empty());

    // The user clicks the Local tab.
    m_ctrl->GetTabStrip()->setCurrentIndex(CSpindleCtrl::kLocalPage);
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kLocalPage);
    ASSERT_TRUE(WaitForEvent("Data Access"));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"Data Access"}));
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1) << "set by the ShowTab calls above";

    // The Testing page's tree is empty: its path is empty.
    m_ctrl->GetTabStrip()->setCurrentIndex(CSpindleCtrl::kTestingPage);
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kTestingPage));
    ASSERT_TRUE(WaitFor([this] { return m_sink.m_events.size() == 2; }));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"Data Access", ""}));
}

TEST_F(SpindleCtrlTest, EverySinkHearsOfTheSelectionAndAFailingOneIsSkipped)
{
    CThrowingSink throwing;
    CRecordingSink second;
    CRecordingSink gone;
    m_ctrl = std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
    m_ctrl->Advise(&throwing);
    m_ctrl->Advise(&second);
    m_ctrl->Advise(&gone);
    m_ctrl->Unadvise(&gone);
    Create(std::move(m_ctrl));
    ASSERT_TRUE(WaitFor([&] { return !second.m_events.empty(); }));
    EXPECT_EQ(throwing.m_calls, 2);
    EXPECT_EQ(second.m_events, (std::vector<std::string>{"Home", "Home"}));
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"Home", "Home"}));
    EXPECT_TRUE(gone.m_events.empty());
    m_ctrl->Unadvise(&throwing);
    m_ctrl->Unadvise(&second);
}

TEST_F(SpindleCtrlTest, OptionsOkRefreshesJavaAndLeavesANeverShownLocalPageEmpty)
{
    Create();
    QTreeWidget* javaTree = Page(CSpindleCtrl::kJavaPage).GetTree();
    ASSERT_EQ(TopTexts(javaTree), (std::vector<std::string>{"Home", "Search Results", "JDK 1.2", "Swing"}));
    m_sink.m_events.clear();

    // Swing is hidden in the dialog.
    WhenOptionsShow(
        [](COptionsDlg& dialog) {
            QTreeWidget* technologies = dialog.GetTechnologyTree();
            for (int i = 0; i < technologies->topLevelItemCount(); ++i) {
                if (technologies->topLevelItem(i)->text(0) == "Swing")
                    technologies->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
            }
        },
        true);
    QTest::mouseClick(Page(CSpindleCtrl::kJavaPage).GetButton(CTabPage::kOptionsId), Qt::LeftButton);
    EXPECT_EQ(TopTexts(javaTree), (std::vector<std::string>{"Home", "Search Results", "JDK 1.2"}));
    EXPECT_EQ(javaTree->currentItem(), Page(CSpindleCtrl::kJavaPage).GetHomeItem());
    EXPECT_EQ(m_sink.m_events, (std::vector<std::string>{"", "Home"}));

    CTabPage& local = Page(CSpindleCtrl::kLocalPage);
    EXPECT_TRUE(local.IsNeverActivated());
    EXPECT_EQ(local.GetTree()->topLevelItemCount(), 0);
    m_ctrl->ShowTab("Local");
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kLocalPage));
    EXPECT_EQ(TopTexts(local.GetTree()), (std::vector<std::string>{"Home", "Search Results", "Data Access"}));
}

TEST_F(SpindleCtrlTest, OptionsOkRereadsTheLocalIndexAndCancelRefreshesNothing)
{
    Create();
    m_ctrl->ShowTab("Local");
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kLocalPage));
    QTreeWidget* localTree = Page(CSpindleCtrl::kLocalPage).GetTree();
    QTreeWidgetItem* first = localTree->topLevelItem(2);

    // A new index, as a staged scan would have put in place.
    std::string index = kLocalIndex;
    index.replace(index.find("Data Access"), 11, "Networking");
    WriteFileText(m_registry.DataDir() + "/Local/components.xml", index);

    WhenOptionsShow([](COptionsDlg&) {}, false);
    QTest::mouseClick(Page(CSpindleCtrl::kLocalPage).GetButton(CTabPage::kOptionsId), Qt::LeftButton);
    ASSERT_EQ(localTree->topLevelItemCount(), 3);
    EXPECT_EQ(localTree->topLevelItem(2), first) << "Cancel leaves the tree as it was";

    WhenOptionsShow([](COptionsDlg&) {}, true);
    QTest::mouseClick(Page(CSpindleCtrl::kLocalPage).GetButton(CTabPage::kOptionsId), Qt::LeftButton);
    EXPECT_EQ(TopTexts(localTree), (std::vector<std::string>{"Home", "Search Results", "Networking"}));
    ASSERT_TRUE(WaitForEvent("Home"));
}

TEST_F(SpindleCtrlTest, ShowJavaItemSelectsJavaAndSearchesBeforeItReturns)
{
    m_server.SetJavaSearchAnswer(kTwoHits);
    Create();
    m_ctrl->ShowTab("Marketplace");
    ASSERT_TRUE(WaitForActivation(CSpindleCtrl::kMarketPage));

    ASSERT_EQ(m_ctrl->ShowJavaItem("java.util", "Vector", ""), S_OK);
    EXPECT_EQ(m_ctrl->GetCurrentPage(), CSpindleCtrl::kJavaPage);
    EXPECT_EQ(m_server.TargetsContaining("/search-").size(), 2u) << "one request per shown technology";
    CTabPage& java = Page(CSpindleCtrl::kJavaPage);
    EXPECT_EQ(java.GetSearchResultsItem()->childCount(), 4);
    EXPECT_EQ(java.GetSearchEdit()->text(), "Vector");
    EXPECT_EQ(java.GetSearchKinds()->currentIndex(), CJavaTabPage::kSearchClass);
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1);
    EXPECT_TRUE(java.isVisible());
    EXPECT_FALSE(Page(CSpindleCtrl::kMarketPage).isVisible());
}

TEST_F(SpindleCtrlTest, NestedBusyPairsRestoreTheCursorOnlyAfterTheOutermostEnd)
{
    Create();
    ASSERT_EQ(m_ctrl->GetBusyCount(), 0) << "the pages' own busy pairs are balanced";
    QApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    m_ctrl->BeginBusy();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_ctrl->BeginBusy();
    m_ctrl->BeginBusy();
    m_ctrl->EndBusy();
    m_ctrl->EndBusy();
    EXPECT_EQ(m_ctrl->GetBusyCount(), 1);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_ctrl->EndBusy();
    EXPECT_EQ(m_ctrl->GetBusyCount(), 0);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SpindleCtrlTest, WithoutItsWindowTheControlHasNoTabsToShow)
{
    m_ctrl = std::make_unique<CSpindleCtrl>(m_runner, m_prompt);
    EXPECT_EQ(m_ctrl->ShowTab("Local"), S_OK);
    EXPECT_EQ(m_ctrl->ShowJavaItem("java.util", "", ""), S_OK);
    EXPECT_EQ(m_ctrl->GetPageCount(), 0);
    EXPECT_FALSE(m_ctrl->SelectTab(0));
    EXPECT_EQ(m_ctrl->GetAutomationFlag(), 1);
    EXPECT_TRUE(m_server.TargetsContaining("/search-").empty());
}

TEST_F(SpindleCtrlTest, TheWindowMayGoBeforeTheControlAndTheControlTakesItsWindowAlong)
{
    const int before = CSpindleCtrl::GetInstanceCount();
    Create();
    EXPECT_EQ(CSpindleCtrl::GetInstanceCount(), before + 1);
    EXPECT_FALSE(m_ctrl->SelectTab(4));
    EXPECT_FALSE(m_ctrl->SelectTab(-1));

    // The host's order: the window first.
    delete m_ctrl->GetWindow();
    EXPECT_EQ(m_ctrl->GetPageCount(), 0);
    EXPECT_EQ(m_ctrl->ShowTab("Java"), S_OK);
    m_ctrl.reset();
    EXPECT_EQ(CSpindleCtrl::GetInstanceCount(), before);

    // The control alone: its window goes with it.
    Create();
    QPointer<QWidget> window = m_ctrl->GetWindow();
    QPointer<CTabPage> page = m_ctrl->GetPage(CSpindleCtrl::kJavaPage);
    m_ctrl.reset();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(page.isNull());
}
