#include "TestingTabPage.h"

#include <memory>

#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QLineEdit>
#include <QObject>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include "FlatButton.h"
#include "Messages.h"
#include "QtModalRunner.h"
#include "Settings.h"
#include "ShellTestSupport.h"
#include "SplitterBar.h"
#include "support/TestSupport.h"

// Stands where the user's web browser would open: records what the desktop was asked to open.
class CUrlRecorder : public QObject
{
    Q_OBJECT

public:
    std::vector<QUrl> m_opened;

public slots:
    void Open(const QUrl& url) { m_opened.push_back(url); }
};

namespace
{
class TestingTabPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        for (const char* scheme : {"http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &m_desktop, "Open");
    }

    void TearDown() override
    {
        for (const char* scheme : {"http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    std::unique_ptr<CTestingTabPage> OpenPage()
    {
        auto page = std::make_unique<CTestingTabPage>(m_owner, m_runner, m_prompt);
        page->InitDialog();
        page->resize(800, 400);
        page->show();
        PostMessage(page->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return !page->IsNeverActivated(); }));
        EXPECT_TRUE(WaitForPage(*page, "/vantrel/testtab/upload.jsp"));
        return page;
    }

    size_t UploadRequests() const { return m_server.TargetsContaining("/vantrel/testtab/upload.jsp").size(); }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CRecordingOwner m_owner;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
    CUrlRecorder m_desktop;
};
}  // namespace

TEST_F(TestingTabPageTest, ShowsTheUploadPageWithoutTreeOrSearch)
{
    auto page = OpenPage();
    EXPECT_EQ(page->GetLastUrl(), m_server.BaseUrl() + "/vantrel/testtab/upload.jsp");
    EXPECT_EQ(page->GetTree()->topLevelItemCount(), 0);
    EXPECT_EQ(m_owner.Reports(), (std::vector<std::string>{""}));
    for (QWidget* hidden : std::initializer_list<QWidget*>{page->GetTree(), page->GetSplitter(),
                                                           page->GetSearchKinds(), page->GetSearchEdit(),
                                                           page->GetButton(CTabPage::kSearchId)})
        EXPECT_FALSE(hidden->isVisible()) << hidden->metaObject()->className();
    EXPECT_TRUE(page->GetButton(CTabPage::kBugId)->isVisible());
    // The browser takes the tree's place.
    const QRect browser = page->GetBrowserHost()->geometry();
    EXPECT_EQ(QRect(2, browser.y(), page->width() - 4, page->height() - 2 - browser.y()), browser);
}

TEST_F(TestingTabPageTest, EveryLaterActivationReportsAndReloadsTheUploadPage)
{
    auto page = OpenPage();
    ASSERT_EQ(UploadRequests(), 1u);

    // The user went elsewhere inside the page.
    page->OnFeature();
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/ui/request.jsp"));

    PostMessage(page->GetWindowHandle(), WM_PAGE_DEACTIVATE, 0, 0);
    PostMessage(page->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/testtab/upload.jsp"));
    EXPECT_EQ(UploadRequests(), 2u);
    EXPECT_EQ(m_owner.Reports().back(), "");
    EXPECT_EQ(page->GetTree()->topLevelItemCount(), 0);
    EXPECT_EQ(m_owner.GetBusyDepth(), 0);
}

TEST_F(TestingTabPageTest, BugOpensTheSupportPageInTheUsersBrowserWithTheEmailAsStored)
{
    auto page = OpenPage();
    m_server.ClearTargets();
    for (const std::string email : {"ada lovelace&co@example.org", ""}) {
        SetEmail(email);
        m_desktop.m_opened.clear();
        QTest::mouseClick(page->GetButton(CTabPage::kBugId), Qt::LeftButton);
        ASSERT_EQ(m_desktop.m_opened.size(), 1u) << email;
        const std::string expected = m_server.BaseUrl() + "/vantrel/ui/support.jsp?platform=win&email=" + email;
        EXPECT_EQ(CTabPage::BuildBugReportUrl(), expected);
        EXPECT_EQ(m_desktop.m_opened[0].toString(QUrl::FullyDecoded).toStdString(), expected);
    }
    Pump(std::chrono::milliseconds(100));
    EXPECT_TRUE(m_server.TargetsContaining("/vantrel/ui/").empty()) << "not shown inside the page";
}

TEST_F(TestingTabPageTest, ChatShowsTheHelpListInsideThePage)
{
    m_registry.Set("Key", "K-17");
    SetEmail("ada@example.org");
    auto page = OpenPage();
    page->OnChat();
    ASSERT_TRUE(WaitForPage(*page, "/vantrel/ui/help/list.jsp"));
    EXPECT_EQ(m_server.TargetsContaining("/vantrel/ui/help/list.jsp"),
              (std::vector<std::string>{"/vantrel/ui/help/list.jsp?clientid=K-17&email=ada@example.org"}));
    EXPECT_TRUE(m_desktop.m_opened.empty());
}

#include "TestingTabPageTest.moc"
