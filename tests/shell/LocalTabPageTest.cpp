#include "LocalTabPage.h"

#include <memory>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTreeWidget>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "FlatButton.h"
#include "ProgressDialog.h"
#include "QtModalRunner.h"
#include "ShellTestSupport.h"
#include "support/QtTestSupport.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace
{
const char* const kIndex = R"(<?xml version="1.0"?>
<components>
  <component SCID="S-7"><componentName>Grid Pro</componentName>
    <categories><category><primaryCategory>User Interface</primaryCategory>
      <secondaryCategory>Grids</secondaryCategory></category></categories></component>
  <component SCID="S-3"><componentName>FastDB Driver</componentName>
    <categories><category><primaryCategory>Data Access</primaryCategory>
      <secondaryCategory>JDBC Drivers</secondaryCategory></category></categories>
    <foundIn path="/libs/fast&lt;b&gt;db&lt;/b&gt;.jar" match="direct" classes="12"/>
    <foundIn path="/apps/shop.war!/WEB-INF/lib/fastdb.jar" match="nested" classes="12"/></component>
</components>
)";

// A component with places whose versions were established in every way, one of them hostile,
// and an archive the catalogue does not know.
const char* const kVersionsIndex = R"(<?xml version="1.0"?>
<components>
  <component SCID="S-3"><componentName>FastDB Driver</componentName>
    <categories><category><primaryCategory>Data Access</primaryCategory>
      <secondaryCategory>JDBC Drivers</secondaryCategory></category></categories>
    <foundIn path="/libs/a.jar" match="direct" classes="12" basis="fingerprints" version="1.2.0"/>
    <foundIn path="/libs/b.jar" match="relocated" classes="9" relocatedPrefix="shaded." basis="fingerprints"
      candidates="1.2.0 1.2.1" claimedVersion="1.3.0" claimedBy="pom.properties"/>
    <foundIn path="/libs/c.jar" match="direct" classes="2" basis="metadata"
      version="&lt;script&gt;document.title='owned'&lt;/script&gt;"/></component>
  <component SCID="local:00112233445566ff" unidentified="metadata"><componentName>guice-multibindings 4.2.3</componentName>
    <version>4.2.3</version><artifact>com.google.inject.extensions:guice-multibindings</artifact>
    <categories><category><primaryCategory>Unidentified archives</primaryCategory>
      <secondaryCategory>Named by pom.properties</secondaryCategory></category></categories>
    <foundIn path="/m2/guice-multibindings-4.2.3.jar" match="direct" classes="20" basis="metadata" version="4.2.3"/>
  </component>
</components>
)";

// A component that known vulnerabilities affect, one of them with a hostile summary.
const char* const kAffectedIndex = R"(<?xml version="1.0"?>
<components>
  <component SCID="S-3" affected="yes"><componentName>FastDB Driver</componentName>
    <categories><category><primaryCategory>Data Access</primaryCategory>
      <secondaryCategory>JDBC Drivers</secondaryCategory></category>
      <category><primaryCategory>Affected by known vulnerabilities</primaryCategory>
      <secondaryCategory>High</secondaryCategory></category></categories>
    <foundIn path="/libs/a.jar" match="direct" classes="12" basis="fingerprints" version="1.2.0"/>
    <advisory id="GHSA-f&quot;&gt;x" severity="high" fixed="1.2.5" versions="1.2.0" evaluable="yes">
      <alias>CVE-2024-1234</alias>
      <summary>&lt;script&gt;document.title='owned'&lt;/script&gt;"&gt;&lt;img src=x onerror="document.title='owned'"&gt;</summary>
      <affects path="/libs/a.jar"/></advisory>
    <advisory id="OSV-2" severity="unknown" versions="1.2.0" evaluable="no"><affects path="/libs/a.jar"/></advisory>
  </component>
  <component SCID="S-7"><componentName>Grid Pro</componentName>
    <categories><category><primaryCategory>Data Access</primaryCategory>
      <secondaryCategory>JDBC Drivers</secondaryCategory></category></categories></component>
</components>
)";

class LocalTabPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_server.Configure(m_registry);
        m_registry.Set("ComponentDatabase", "127.0.0.1:1");
        m_runner.SetShownHook([this](CProgressDialog& dialog) {
            m_dialogs.push_back(dialog.windowTitle());
            m_barsShown.push_back(dialog.GetProgressBar()->isVisible());
        });
    }

    void TearDown() override
    {
        m_page.reset();
    }

    void Open()
    {
        m_page = std::make_unique<CLocalTabPage>(m_owner, m_runner, m_prompt);
        m_page->InitDialog();
        m_page->resize(800, 400);
        m_page->show();
        ASSERT_TRUE(ActivatePage(*m_page));
    }

    // The text of the page's places section once it is there, and only if none of it became markup.
    std::string PlacesText()
    {
        QString places;
        EXPECT_TRUE(WaitFor([&] {
            m_page->GetBrowser()->page()->runJavaScript(
                "var e = document.getElementById('corvane-places');"
                "e && !e.querySelector('b, script') && document.title != 'owned' ? e.textContent : ''",
                [&places](const QVariant& value) { places = value.toString(); });
            Pump(std::chrono::milliseconds(50));
            return !places.isEmpty();
        })) << places.toStdString();
        return places.toStdString();
    }

    // The text of the page's advisories section, and the first link's address, once it is
    // there, and only if none of it became markup.
    std::string AdvisoriesText()
    {
        QString text;
        EXPECT_TRUE(WaitFor([&] {
            m_page->GetBrowser()->page()->runJavaScript(
                "var e = document.getElementById('corvane-advisories');"
                "e && !e.querySelector('b, script, img') && document.title != 'owned' ?"
                " e.textContent + ' | ' + e.querySelector('a').href : ''",
                [&text](const QVariant& value) { text = value.toString(); });
            Pump(std::chrono::milliseconds(50));
            return !text.isEmpty();
        })) << text.toStdString();
        return text.toStdString();
    }

    std::string IndexPath() const { return m_registry.DataDir() + "/Local/components.xml"; }

    CTestRegistry m_registry;
    CPageTestServer m_server;
    CTempDir m_classes;
    CScopedEnvironment m_classPath{"CLASSPATH", m_classes.Path()};
    CRecordingOwner m_owner;
    CQtModalRunner m_runner;
    CScriptedPrompt m_prompt;
    std::unique_ptr<CLocalTabPage> m_page;
    std::vector<QString> m_dialogs;
    std::vector<bool> m_barsShown;
};
}  // namespace

TEST_F(LocalTabPageTest, WithoutAnIndexTheScanIsOfferedAndNoWritesAnEmptyOne)
{
    m_prompt.Answer(IDNO);
    Open();
    ASSERT_EQ(m_prompt.Shown().size(), 1u);
    EXPECT_EQ(m_prompt.Shown()[0].text, "Would you like to perform a scan of your CLASSPATH for known components at this time?");
    EXPECT_EQ(m_prompt.Shown()[0].caption, "Corvane Component Manager");
    EXPECT_EQ(m_page->GetTree()->topLevelItemCount(), 2);
    EXPECT_TRUE(WaitForPage(*m_page, "/vantrel/localtab/home.jsp"));
    EXPECT_NE(ReadFileText(IndexPath()).find("components"), std::string::npos);
}

TEST_F(LocalTabPageTest, YesRunsTheScanBehindItsDialog)
{
    for (int i = 0; i < 20; ++i)
        WriteFileText(m_classes.File("K" + std::to_string(i) + ".class"), ClassFileBytes("K" + std::to_string(i)));
    m_prompt.Answer(IDYES);
    Open();
    ASSERT_FALSE(m_dialogs.empty());
    EXPECT_EQ(m_dialogs[0], "Scanning ...");
    EXPECT_EQ(m_page->GetTree()->topLevelItemCount(), 2);
    EXPECT_NE(ReadFileText(IndexPath()).find("components"), std::string::npos);
}

TEST_F(LocalTabPageTest, CategoriesComponentsAndTheirPages)
{
    WriteFileText(IndexPath(), kIndex);
    Open();
    EXPECT_TRUE(m_prompt.Shown().empty());
    QTreeWidget* tree = m_page->GetTree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "Data Access");
    EXPECT_EQ(tree->topLevelItem(3)->text(0), "User Interface");
    EXPECT_FALSE(m_page->GetSearchKinds()->isVisible());
    EXPECT_EQ(m_page->GetSearchEdit()->x(), 2);

    QTreeWidgetItem* data = tree->topLevelItem(2);
    tree->expandItem(data);
    ASSERT_EQ(data->childCount(), 1);
    tree->expandItem(data->child(0));
    ASSERT_EQ(data->child(0)->childCount(), 1);
    tree->setCurrentItem(data->child(0)->child(0));
    EXPECT_EQ(m_owner.LastReport(), "Data Access/JDBC Drivers/FastDB Driver");
    EXPECT_TRUE(WaitForPage(*m_page, "/xql.dll/components/vendors/components.bnd?scid=S-3&"));

    // The page shows where the scan found the component, every path as text.
    EXPECT_EQ(PlacesText(), "Found on this machine/libs/fast<b>db</b>.jar (direct, 12 classes)"
                            "/apps/shop.war!/WEB-INF/lib/fastdb.jar (nested, 12 classes)");
}

TEST_F(LocalTabPageTest, PlacesSayTheVersionAndUnidentifiedArchivesHaveTheirCategory)
{
    WriteFileText(IndexPath(), kVersionsIndex);
    Open();
    QTreeWidget* tree = m_page->GetTree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "Data Access");
    QTreeWidgetItem* unidentified = tree->topLevelItem(3);
    EXPECT_EQ(unidentified->text(0), "Unidentified archives");

    QTreeWidgetItem* data = tree->topLevelItem(2);
    tree->expandItem(data);
    tree->expandItem(data->child(0));
    tree->setCurrentItem(data->child(0)->child(0));
    EXPECT_TRUE(WaitForPage(*m_page, "scid=S-3&"));
    EXPECT_EQ(PlacesText(), "Found on this machine"
                            "/libs/a.jar (direct, 12 classes): version 1.2.0 from class fingerprints"
                            "/libs/b.jar (relocated, 9 classes, under shaded.): one of 1.2.0, 1.2.1; "
                            "the archive's pom.properties says 1.3.0"
                            "/libs/c.jar (direct, 2 classes): version <script>document.title='owned'</script> "
                            "from its pom.properties");

    tree->expandItem(unidentified);
    ASSERT_EQ(unidentified->childCount(), 1);
    EXPECT_EQ(unidentified->child(0)->text(0), "Named by pom.properties");
    tree->expandItem(unidentified->child(0));
    ASSERT_EQ(unidentified->child(0)->childCount(), 1);
    tree->setCurrentItem(unidentified->child(0)->child(0));
    EXPECT_EQ(m_owner.LastReport(), "Unidentified archives/Named by pom.properties/guice-multibindings 4.2.3");
    EXPECT_TRUE(WaitForPage(*m_page, "xsl/rm/local-unidentified.xsl&xmlpage=components/vendors/components.bnd"));
    EXPECT_EQ(m_server.TargetsContaining("&scid=local%3A00112233445566ff&name=guice-multibindings%204.2.3&version=4.2.3"
                                         "&artifact=com.google.inject.extensions%3Aguice-multibindings&match=metadata")
                  .size(),
              1u);
    EXPECT_EQ(PlacesText(), "Found on this machine"
                            "/m2/guice-multibindings-4.2.3.jar (direct, 20 classes): version 4.2.3 from its pom.properties");
}

// An affected component is gathered under a category of its own with a warning sign, and
// its page lists the records, every text as text, with the places of the affected copies.
TEST_F(LocalTabPageTest, AffectedComponentsAreMarkedAndTheirPagesListTheirAdvisories)
{
    WriteFileText(IndexPath(), kAffectedIndex);
    Open();
    QTreeWidget* tree = m_page->GetTree();
    ASSERT_EQ(tree->topLevelItemCount(), 4);
    QTreeWidgetItem* affected = tree->topLevelItem(2);
    EXPECT_EQ(affected->text(0), "Affected by known vulnerabilities");
    QTreeWidgetItem* data = tree->topLevelItem(3);
    tree->expandItem(data);
    tree->expandItem(data->child(0));
    ASSERT_EQ(data->child(0)->childCount(), 2);
    EXPECT_EQ(data->child(0)->child(0)->text(0), "FastDB Driver");
    // The affected one's image is not that of the others.
    EXPECT_NE(data->child(0)->child(0)->icon(0).cacheKey(), data->child(0)->child(1)->icon(0).cacheKey());
    tree->expandItem(affected);
    ASSERT_EQ(affected->childCount(), 1);
    EXPECT_EQ(affected->child(0)->text(0), "High");
    tree->expandItem(affected->child(0));
    ASSERT_EQ(affected->child(0)->childCount(), 1);
    tree->setCurrentItem(affected->child(0)->child(0));
    EXPECT_EQ(m_owner.LastReport(), "Affected by known vulnerabilities/High/FastDB Driver");
    EXPECT_TRUE(WaitForPage(*m_page, "scid=S-3&"));
    EXPECT_EQ(AdvisoriesText(),
              "Known vulnerabilities"
              "GHSA-f\">x (CVE-2024-1234): high, fixed in 1.2.5"
              "<script>document.title='owned'</script>\"><img src=x onerror=\"document.title='owned'\">"
              "Affected copies (1.2.0): /libs/a.jar"
              "OSV-2: unknown, may affect this version, no fixed version known"
              "Affected copies (1.2.0): /libs/a.jar"
              " | https://osv.dev/vulnerability/GHSA-f%22%3Ex");
    EXPECT_EQ(PlacesText(), "Found on this machine/libs/a.jar (direct, 12 classes): version 1.2.0 from class fingerprints");
}

TEST_F(LocalTabPageTest, SearchKeepsTheLocalHitsWithoutAProgressBar)
{
    WriteFileText(IndexPath(), kIndex);
    Open();
    m_dialogs.clear();
    m_barsShown.clear();
    m_server.SetLocalSearchAnswer(R"(<components><component SCID="S-7"/><component SCID="S-99"/></components>)");
    m_page->GetSearchEdit()->setText(QStringLiteral("grid"));
    QTest::mouseClick(m_page->GetButton(CTabPage::kSearchId), Qt::LeftButton);
    ASSERT_EQ(m_dialogs.size(), 1u);
    EXPECT_EQ(m_dialogs[0], "Searching...");
    EXPECT_FALSE(m_barsShown[0]);
    ASSERT_EQ(m_page->GetSearchResultsItem()->childCount(), 1);
    EXPECT_EQ(m_page->GetSearchResultsItem()->child(0)->text(0), "Grid Pro");
    EXPECT_EQ(m_owner.LastReport(), "Search Results/Grid Pro");
    EXPECT_EQ(m_server.TargetsContaining("search-local.xsl").size(), 1u);
}
