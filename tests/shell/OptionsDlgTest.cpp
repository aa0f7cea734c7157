#include "OptionsDlg.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "ProgressDialog.h"
#include "QtModalRunner.h"
#include "Registry.h"
#include "ScanLocationsList.h"
#include "Settings.h"
#include "XmlDocument.h"
#include "support/Environment.h"
#include "support/TestArchives.h"
#include "support/TestSupport.h"

namespace
{
using CTexts = std::vector<std::string>;

// Display texts out of order and in mixed case.
const char* const kIndex = R"(<javatab>
  <technology name="swing" display="Swing" docroot=""/>
  <technology name="jdk" display="JDK 1.2" docroot="http://127.0.0.1:1/jdk/"/>
  <technology name="applets" display="applet Kit" docroot=""/>
</javatab>)";

class OptionsDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileText(DataFile("Java/index.xml"), kIndex);
        SetEmail("ada@example.org");
        SetFirewallType(CFirewallType::Proxy);
        SetFirewallHost("proxy.example.org");
        SetFirewallPort(3128);
        SetFirewallUsername("ada");
        SetFirewallPassword("secret");
        m_registry.Set("ComponentDatabase", "127.0.0.1:1");
    }

    std::string DataFile(const std::string& name) const { return m_registry.DataDir() + "/" + name; }

    void WritePreferences(const std::string& technologies)
    {
        WriteFileText(DataFile("preferences.xml"),
                      "<preferences><javatab><display>" + technologies + "</display></javatab></preferences>");
    }

    std::unique_ptr<COptionsDlg> Open()
    {
        auto dialog = std::make_unique<COptionsDlg>(m_runner);
        dialog->show();
        return dialog;
    }

    // The tree's texts with their check marks.
    static CTexts Technologies(const COptionsDlg& dialog)
    {
        CTexts texts;
        QTreeWidget* tree = dialog.GetTechnologyTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            texts.push_back(tree->topLevelItem(i)->text(0).toStdString() +
                            (tree->topLevelItem(i)->checkState(0) == Qt::Checked ? " [x]" : " [ ]"));
        return texts;
    }

    static void SetChecked(const COptionsDlg& dialog, const char* display, bool checked)
    {
        dialog.GetTechnologyTree()->findItems(display, Qt::MatchExactly).value(0)->setCheckState(
            0, checked ? Qt::Checked : Qt::Unchecked);
    }

    // name=show of each technology below preferences/javatab/display.
    CTexts Preferences() const
    {
        CXmlDocument document;
        CTexts shown;
        const std::optional<CXmlNodeList> nodes =
            document.Load(DataFile("preferences.xml"))
                ? document.SelectNodes("/preferences/javatab/display/technology")
                : std::nullopt;
        if (nodes) {
            for (const CXmlNode& node : *nodes)
                shown.push_back(node.GetAttribute("name").value_or("?") + "=" + node.GetAttribute("show").value_or("?"));
        }
        return shown;
    }

    static std::vector<bool> BoxesEnabled(const COptionsDlg& dialog)
    {
        return {dialog.GetHostEdit()->isEnabled(), dialog.GetPortEdit()->isEnabled(),
                dialog.GetUserNameEdit()->isEnabled(), dialog.GetPasswordEdit()->isEnabled(),
                dialog.GetConfirmEdit()->isEnabled()};
    }

    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    CTestRegistry m_registry;
    CTempDir m_classes;
    CScopedEnvironment m_classPath{"CLASSPATH", m_classes.Path()};
    CQtModalRunner m_runner;
};

const std::vector<bool> kAllEnabled(5, true);
}  // namespace

TEST_F(OptionsDlgTest, OpensWithTheStoredSettingsAndTheTechnologiesSortedAndChecked)
{
    WritePreferences(R"(<technology name="swing" show="0"/><technology name="jdk" show="1"/>)");
    auto dialog = Open();
    EXPECT_EQ(dialog->GetEmailEdit()->text(), "ada@example.org");
    EXPECT_EQ(dialog->GetFirewallCombo()->currentText(), "Proxy");
    EXPECT_EQ(dialog->GetFirewallCombo()->count(), 5);
    EXPECT_EQ(dialog->GetFirewallCombo()->itemText(0), "None");
    EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled);
    EXPECT_EQ(dialog->GetPortEdit()->text(), "3128");
    EXPECT_EQ(dialog->GetPasswordEdit()->text(), "secret");
    EXPECT_EQ(dialog->GetConfirmEdit()->text(), "secret");
    EXPECT_EQ(dialog->GetConfirmEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Technologies(*dialog), (CTexts{"applet Kit [x]", "JDK 1.2 [x]", "Swing [ ]"}));
    const CJavaItem* jdk = dialog->TechnologyOf(dialog->GetTechnologyTree()->topLevelItem(1));
    ASSERT_NE(jdk, nullptr);
    EXPECT_EQ(jdk->GetTechnology() + " " + jdk->GetDocRoot(), "jdk http://127.0.0.1:1/jdk/");

    // Every label reads whole beside its box.
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    // For looking at the dialog: CORVANE_SHOT_DIR names a folder for a picture of it.
    if (const char* shots = std::getenv("CORVANE_SHOT_DIR"))
        dialog->grab().save(QDir(QString::fromLocal8Bit(shots)).filePath(QStringLiteral("Options.png")));
}

TEST_F(OptionsDlgTest, NoneDisablesTheFiveBoxesAndOkStoresTypeZeroWithThePasswordBoxsText)
{
    auto dialog = Open();
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    EXPECT_EQ(BoxesEnabled(*dialog), std::vector<bool>(5, false));
    dialog->GetFirewallCombo()->setCurrentIndex(1);
    EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled);
    dialog->GetEmailEdit()->setText("grace@example.org");
    dialog->GetHostEdit()->setText("socks.example.org");
    dialog->GetPasswordEdit()->setText("new one");
    dialog->GetConfirmEdit()->setText("something else");
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    Click(dialog->GetOkButton());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(GetEmail(), "grace@example.org");
    EXPECT_EQ(GetFirewallType(), CFirewallType::None);
    EXPECT_EQ(GetFirewallHost(), "socks.example.org");
    EXPECT_EQ(GetFirewallPort(), 3128);
    EXPECT_EQ(GetFirewallUsername(), "ada");
    EXPECT_EQ(GetFirewallPassword(), "new one");
}

TEST_F(OptionsDlgTest, ThePortIsReadAsAtoiReadsIt)
{
    for (const auto& [text, stored] : {std::pair{"80abc", 80}, {"", 0}, {" -1", -1}, {"99999999999", INT_MAX}}) {
        auto dialog = Open();
        dialog->GetPortEdit()->setText(QString::fromLatin1(text));
        Click(dialog->GetOkButton());
        EXPECT_EQ(GetFirewallPort(), stored) << '"' << text << '"';
    }
}

TEST_F(OptionsDlgTest, LongNonAsciiValuesAreStoredInWholeCharactersAndReadBack)
{
    auto dialog = Open();
    const QString umlauts(200, QChar(0xE4));  // 400 bytes of UTF-8
    std::string stored;
    for (int i = 0; i < 127; ++i)
        stored += "\xC3\xA4";
    dialog->GetEmailEdit()->setText(umlauts);
    dialog->GetHostEdit()->setText(QStringLiteral("h") + umlauts);
    dialog->GetUserNameEdit()->clear();
    for (QChar c : umlauts) {  // typing stops at the limit
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(dialog->GetUserNameEdit(), &key);
    }
    EXPECT_EQ(dialog->GetUserNameEdit()->text().toStdString(), stored);
    Click(dialog->GetOkButton());
    EXPECT_EQ(GetEmail(), stored);
    EXPECT_EQ(GetFirewallHost(), "h" + stored);
    EXPECT_EQ(GetFirewallUsername(), stored);
}

TEST_F(OptionsDlgTest, AStoredTypeOutsideTheListSelectsNothingEnablesTheBoxesAndOkStoresMinusOne)
{
    m_registry.Set("FirewallType", "7");
    auto dialog = Open();
    EXPECT_EQ(dialog->GetFirewallCombo()->currentIndex(), -1);
    EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled);
    Click(dialog->GetOkButton());
    EXPECT_EQ(GetFirewallType(), static_cast<CFirewallType>(-1));
}

TEST_F(OptionsDlgTest, ATechnologyMissingFromThePreferencesIsCheckedAndWrittenShown)
{
    WritePreferences(R"(<technology name="swing" show="0"/>)");
    auto dialog = Open();
    EXPECT_EQ(Technologies(*dialog), (CTexts{"applet Kit [x]", "JDK 1.2 [x]", "Swing [ ]"}));
    SetChecked(*dialog, "applet Kit", false);
    Click(dialog->GetOkButton());
    EXPECT_EQ(Preferences(), (CTexts{"applets=0", "jdk=1", "swing=0"}));
}

TEST_F(OptionsDlgTest, WithoutPreferencesOkCreatesThemWholeWithEveryTechnology)
{
    auto dialog = Open();
    Click(dialog->GetOkButton());
    EXPECT_EQ(Preferences(), (CTexts{"applets=1", "jdk=1", "swing=1"}));
    // Written beside and renamed into place: no half-written file or temporary is left.
    for (const auto& entry : std::filesystem::directory_iterator(m_registry.DataDir()))
        EXPECT_TRUE(entry.is_directory() || entry.path().filename() == "preferences.xml") << entry.path();
}

TEST_F(OptionsDlgTest, WithoutAJavaIndexOkLeavesThePreferencesAsTheyAre)
{
    WritePreferences(R"(<technology name="swing" show="0"/>)");
    const std::string before = ReadFileText(DataFile("preferences.xml"));
    std::filesystem::remove(DataFile("Java/index.xml"));
    auto dialog = Open();
    EXPECT_EQ(dialog->GetTechnologyTree()->topLevelItemCount(), 0);
    dialog->GetEmailEdit()->setText("grace@example.org");
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("preferences.xml")), before);
    EXPECT_EQ(GetEmail(), "grace@example.org");
}

TEST_F(OptionsDlgTest, CancelWritesNothing)
{
    auto dialog = Open();
    dialog->GetEmailEdit()->setText("grace@example.org");
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    SetChecked(*dialog, "Swing", false);
    Click(dialog->GetCancelButton());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(GetEmail(), "ada@example.org");
    EXPECT_EQ(GetFirewallType(), CFirewallType::Proxy);
    EXPECT_FALSE(std::filesystem::exists(DataFile("preferences.xml")));
}

TEST_F(OptionsDlgTest, ScanLocationsFollowTheClassPathAndAreStoredOnOk)
{
    RegDeleteKey(HKEY_LOCAL_MACHINE, kScanLocationsKey);  // never chosen: the machine's own are offered
    CTempDir home;
    std::filesystem::create_directories(home.File(".m2/repository"));
    CScopedEnvironment user("HOME", home.Path());
    const std::vector<std::string> offered = GetScanLocations();
    ASSERT_EQ(offered.front(), home.File(".m2/repository"));

    auto dialog = Open();
    CScanLocationsList* list = dialog->GetLocationsList();
    EXPECT_EQ(list->GetList()->item(0)->text(), "CLASSPATH (always scanned first)");
    EXPECT_EQ(list->GetLocations(), offered);
    list->GetList()->setCurrentRow(0);  // the CLASSPATH stays
    EXPECT_FALSE(list->GetRemoveButton()->isEnabled());
    list->RemoveSelected();
    list->GetList()->setCurrentRow(1);
    Click(list->GetRemoveButton());
    EXPECT_TRUE(list->AddLocation("/opt/libs"));
    EXPECT_TRUE(list->AddLocation("/srv/app.war"));
    EXPECT_FALSE(list->AddLocation("/opt/libs"));
    EXPECT_FALSE(list->AddLocation("/" + std::string(300, 'x')));  // could not be read back
    std::vector<std::string> chosen(offered.begin() + 1, offered.end());
    chosen.insert(chosen.end(), {"/opt/libs", "/srv/app.war"});
    EXPECT_EQ(list->GetLocations(), chosen);
    EXPECT_EQ(list->GetList()->count(), static_cast<int>(chosen.size()) + 1);

    Click(dialog->GetCancelButton());
    EXPECT_EQ(GetScanLocations(), offered);
    dialog = Open();
    dialog->GetLocationsList()->SetLocations(chosen);
    Click(dialog->GetOkButton());
    EXPECT_EQ(GetScanLocations(), chosen);
}

TEST_F(OptionsDlgTest, AScanIsStagedCancelLeavesTheLocalIndexAndOkPutsItInPlace)
{
    WriteFileText(m_classes.File("K.class"), ClassFileBytes("K"));
    const std::string index = "<components><component SCID=\"S-3\"/></components>";
    WriteFileText(DataFile("Local/components.xml"), index);
    std::vector<QString> shown;
    m_runner.SetShownHook([&shown](CProgressDialog& dialog) { shown.push_back(dialog.windowTitle()); });

    auto dialog = Open();
    Click(dialog->GetScanButton());
    EXPECT_EQ(shown, (std::vector<QString>{"Scanning ..."}));
    const std::string staged = ReadFileText(DataFile("Local/components.xml_new"));
    ASSERT_NE(staged.find("<components"), std::string::npos);
    Click(dialog->GetCancelButton());
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml")), index);

    dialog = Open();
    Click(dialog->GetScanButton());
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml")), staged);
    EXPECT_FALSE(std::filesystem::exists(DataFile("Local/components.xml_new")));
}
