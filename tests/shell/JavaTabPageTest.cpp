#include "JavaTabPage.h"

#include <memory>

#include <QComboBox>
#include <QLineEdit>
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
const char* const kOneClass = "<results><class><className>Vector</className><packageName>java.util</packageName>"
                              "</class></results>";

class JavaTabPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_registry.Set("OfflineMode", "1");
        m_page = std::make_unique<CJavaTabPage>(m_owner, m_runner, m_prompt);
        m_page->InitDialog();
        m_page->show();
        ASSERT_TRUE(ActivatePage(*m_page));
        m_server.ClearTargets();
    }

    void TearDown() override { m_page.reset(); }

    // The query parts of the search requests, one per technology searched.
    std::vector<std::string> SearchQueries() const
    {
        std::vector<std::string> queries;
        for (const std::string& target : m_server.TargetsContaining("/search-"))
            queries.push_back(target.substr(target.find("/java/data/")));
        return queries;
    }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CRecordingOwner m_owner;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
    std::unique_ptr<CJavaTabPage> m_page;
};
}  // namespace

TEST_F(JavaTabPageTest, SearchKindsAreOfferedInOrderWithPackageFirst)
{
    QComboBox* kinds = m_page->GetSearchKinds();
    ASSERT_EQ(kinds->count(), 5);
    const char* expected[] = {"Package", "Class/Interface", "Method", "Extends", "Implements"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(kinds->itemText(i), expected[i]);
    EXPECT_EQ(kinds->currentIndex(), 0);
    EXPECT_TRUE(kinds->isVisible());
}

TEST_F(JavaTabPageTest, TheKindDecidesWhichFieldCarriesTheText)
{
    struct
    {
        int kind;
        const char* query;
    } cases[] = {
        {0, "/java/data/jdk/index.bnd?xslsheet=vantrel:/java/xsl/search-package.xsl&qtarget=util&packagename=util"
            "&classname=&methodname="},
        {1, "/java/data/jdk/index.bnd?xslsheet=vantrel:/java/xsl/search-class.xsl&qtarget=util&packagename="
            "&classname=util&methodname="},
        {2, "/java/data/jdk/index.bnd?xslsheet=vantrel:/java/xsl/search-method.xsl&qtarget=util&packagename="
            "&classname=&methodname=util"},
        {3, "/java/data/jdk/index.bnd?xslsheet=vantrel:/java/xsl/search-descendent.xsl&qtarget=util&packagename="
            "&classname=util&methodname="},
        {4, "/java/data/jdk/index.bnd?xslsheet=vantrel:/java/xsl/search-interface.xsl&qtarget=util&packagename="
            "&classname=util&methodname="},
    };
    for (const auto& c : cases) {
        m_server.ClearTargets();
        m_page->GetSearchKinds()->setCurrentIndex(c.kind);
        m_page->GetSearchEdit()->setText(QStringLiteral("util"));
        QTest::mouseClick(m_page->GetButton(CTabPage::kSearchId), Qt::LeftButton);
        const std::vector<std::string> queries = SearchQueries();
        ASSERT_EQ(queries.size(), 2u) << c.kind;
        EXPECT_EQ(queries[0], c.query) << c.kind;
    }
}

TEST_F(JavaTabPageTest, WithoutAChosenKindNothingIsSearched)
{
    m_page->GetSearchKinds()->setCurrentIndex(-1);
    QTest::mouseClick(m_page->GetButton(CTabPage::kSearchId), Qt::LeftButton);
    EXPECT_TRUE(SearchQueries().empty());
    EXPECT_TRUE(m_prompt.Shown().empty());
}

TEST_F(JavaTabPageTest, ALongSearchTextIsCutTo255Characters)
{
    m_page->GetSearchKinds()->setCurrentIndex(1);
    m_page->GetSearchEdit()->setText(QString(300, QLatin1Char('x')));
    QTest::mouseClick(m_page->GetButton(CTabPage::kSearchId), Qt::LeftButton);
    const std::vector<std::string> queries = SearchQueries();
    ASSERT_FALSE(queries.empty());
    EXPECT_NE(queries[0].find("qtarget=" + std::string(255, 'x') + "&"), std::string::npos);
}

TEST_F(JavaTabPageTest, ShowItemWithOnlyAPackageLooksUpThePackageWithKind5)
{
    m_server.SetJavaSearchAnswer(kOneClass);
    m_page->ShowItem("java.util", "", "");
    EXPECT_EQ(m_page->GetSearchKinds()->currentText(), "Package");
    EXPECT_EQ(m_page->GetSearchEdit()->text(), "java.util");
    const std::vector<std::string> queries = SearchQueries();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0], "/java/data/jdk/java.util.xml?xslsheet=vantrel:/java/xsl/search-package-class.xsl"
                          "&qtarget=&packagename=java.util&classname=&methodname=");
    QTreeWidgetItem* results = m_page->GetSearchResultsItem();
    ASSERT_EQ(results->childCount(), 2);
    EXPECT_EQ(results->child(0)->text(0), "java.util.Vector (JDK 1.2)");
    EXPECT_EQ(m_page->GetTree()->selectedItems().value(0), results->child(0));
    EXPECT_TRUE(results->isExpanded());
}

TEST_F(JavaTabPageTest, ShowItemWithAMethodLooksUpTheMethodWithKind6)
{
    m_page->ShowItem("java.util", "Vector", "size");
    EXPECT_EQ(m_page->GetSearchKinds()->currentText(), "Method");
    EXPECT_EQ(m_page->GetSearchEdit()->text(), "size");
    const std::vector<std::string> queries = SearchQueries();
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0], "/java/data/jdk/java.util.xml?xslsheet=vantrel:/java/xsl/search-package-class-method.xsl"
                          "&qtarget=&packagename=java.util&classname=Vector&methodname=size");
    // No hits: the message, and "Search Results" selected.
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text, "There were no search results found.");
    EXPECT_EQ(m_page->GetTree()->selectedItems().value(0), m_page->GetSearchResultsItem());
}

TEST_F(JavaTabPageTest, ShowItemWithAClassChoosesClassInterface)
{
    m_page->ShowItem("java.util", "Vector", "");
    EXPECT_EQ(m_page->GetSearchKinds()->currentText(), "Class/Interface");
    EXPECT_EQ(m_page->GetSearchEdit()->text(), "Vector");
    EXPECT_NE(SearchQueries().at(0).find("search-package-class.xsl&qtarget=&packagename=java.util&classname=Vector"),
              std::string::npos);
}

TEST_F(JavaTabPageTest, ShowItemWithNothingOnlyClearsAndSelectsSearchResults)
{
    m_server.SetJavaSearchAnswer(kOneClass);
    m_page->ShowItem("java.util", "", "");
    ASSERT_EQ(m_page->GetSearchResultsItem()->childCount(), 2);
    m_server.ClearTargets();
    m_page->GetSearchEdit()->setText(QStringLiteral("kept"));

    m_page->ShowItem("", "", "");
    EXPECT_TRUE(SearchQueries().empty());
    EXPECT_TRUE(m_prompt.Shown().empty());
    EXPECT_EQ(m_page->GetSearchResultsItem()->childCount(), 0);
    EXPECT_EQ(m_page->GetTree()->selectedItems().value(0), m_page->GetSearchResultsItem());
    EXPECT_EQ(m_page->GetSearchEdit()->text(), "kept");
}

TEST_F(JavaTabPageTest, ShowItemShowsTheMessageEvenWhenCancelled)
{
    m_server.SetDelay(std::chrono::milliseconds(600));
    m_runner.SetShownHook([](CProgressDialog& dialog) { QTest::mouseClick(dialog.GetCancelButton(), Qt::LeftButton); });
    m_page->ShowItem("java.util", "", "");
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text, "There were no search results found.");
}
