#include "OptionsDlg.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include "ProgressDialog.h"
#include "QtModalRunner.h"
#include "Settings.h"
#include "ShellTestSupport.h"
#include "XmlDocument.h"
#include "support/TestSupport.h"

namespace
{
// Display texts out of order and in mixed case; "applets" has no docroot.
const char* const kIndex = R"(<?xml version="1.0"?>
<javatab>
  <technology name="swing" display="Swing" docroot="http://127.0.0.1:1/swing/"/>
  <technology name="jdk" display="JDK 1.2" docroot="http://127.0.0.1:1/jdk/"/>
  <technology name="applets" display="applet Kit" docroot=""/>
  <technology name="beans" display="Beans" docroot=""/>
</javatab>
)";

const char* const kComponents = R"(<?xml version="1.0"?>
<components>
  <component SCID="S-3"><componentName>FastDB Driver</componentName></component>
</components>
)";

struct CShown
{
    std::string name;
    std::string show;
    bool operator==(const CShown&) const = default;
};

class OptionsDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFileText(DataFile("Java/index.xml"), kIndex);
        SetEmail("ada@example.org");
        SetFirewallType(3);
        SetFirewallHost("proxy.example.org");
        SetFirewallPort(3128);
        SetFirewallUsername("ada");
        SetFirewallPassword("secret");
        if (const char* saved = std::getenv("CLASSPATH"))
            m_savedClassPath = saved;
        setenv("CLASSPATH", m_classes.Path().c_str(), 1);
        m_registry.Set("ComponentDatabase", "127.0.0.1:1");
    }

    void TearDown() override
    {
        if (m_savedClassPath)
            setenv("CLASSPATH", m_savedClassPath->c_str(), 1);
        else
            unsetenv("CLASSPATH");
    }

    std::string DataFile(const std::string& name) const { return m_registry.DataDir() + "/" + name; }

    std::unique_ptr<COptionsDlg> Open()
    {
        auto dialog = std::make_unique<COptionsDlg>(m_runner);
        dialog->show();
        return dialog;
    }

    static std::vector<std::string> Technologies(const COptionsDlg& dialog)
    {
        std::vector<std::string> texts;
        QTreeWidget* tree = dialog.GetTechnologyTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            texts.push_back(tree->topLevelItem(i)->text(0).toStdString() +
                            (tree->topLevelItem(i)->checkState(0) == Qt::Checked ? " [x]" : " [ ]"));
        return texts;
    }

    static QTreeWidgetItem* Technology(const COptionsDlg& dialog, const std::string& display)
    {
        QTreeWidget* tree = dialog.GetTechnologyTree();
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            if (tree->topLevelItem(i)->text(0).toStdString() == display)
                return tree->topLevelItem(i);
        }
        return nullptr;
    }

    // The technology entries of preferences.xml, from its display element only.
    std::vector<CShown> Preferences() const
    {
        CXmlDocument document;
        if (!document.Load(DataFile("preferences.xml")))
            return {};
        std::vector<CShown> shown;
        const std::optional<CXmlNodeList> nodes = document.SelectNodes("/preferences/javatab/display/technology");
        for (const CXmlNode& node : nodes.value_or(CXmlNodeList()))
            shown.push_back({node.GetAttribute("name").value_or("?"), node.GetAttribute("show").value_or("?")});
        return shown;
    }

    static void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    static std::vector<bool> BoxesEnabled(const COptionsDlg& dialog)
    {
        return {dialog.GetHostEdit()->isEnabled(), dialog.GetPortEdit()->isEnabled(),
                dialog.GetUserNameEdit()->isEnabled(), dialog.GetPasswordEdit()->isEnabled(),
                dialog.GetConfirmEdit()->isEnabled()};
    }

    CTestRegistry m_registry;
    CTempDir m_classes;
    std::optional<std::string> m_savedClassPath;
    CQtModalRunner m_runner;
};

const std::vector<bool> kAllEnabled(5, true);
const std::vector<bool> kAllDisabled(5, false);
}  // namespace

TEST_F(OptionsDlgTest, OpensWithTheStoredSettingsAndTheTechnologiesSortedAndChecked)
{
    WriteFileText(DataFile("preferences.xml"),
                  "<preferences><javatab><display><technology name=\"swing\" show=\"0\"/>"
                  "<technology name=\"jdk\" show=\"1\"/></display></javatab></preferences>");
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), "Options");
    EXPECT_EQ(dialog->GetEmailEdit()->text(), "ada@example.org");
    ASSERT_EQ(dialog->GetFirewallCombo()->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(dialog->GetFirewallCombo()->itemText(i).toStdString(),
                  (std::vector<std::string>{"None", "Socks 4", "Socks 5", "Proxy", "Pipe"})[static_cast<size_t>(i)]);
    EXPECT_EQ(dialog->GetFirewallCombo()->currentIndex(), 3);
    EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled);
    EXPECT_EQ(dialog->GetHostEdit()->text(), "proxy.example.org");
    EXPECT_EQ(dialog->GetPortEdit()->text(), "3128");
    EXPECT_EQ(dialog->GetUserNameEdit()->text(), "ada");
    EXPECT_EQ(dialog->GetPasswordEdit()->text(), "secret");
    EXPECT_EQ(dialog->GetConfirmEdit()->text(), "secret");
    EXPECT_EQ(dialog->GetPasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog->GetConfirmEdit()->echoMode(), QLineEdit::Password);

    EXPECT_EQ(Technologies(*dialog),
              (std::vector<std::string>{"applet Kit [x]", "Beans [x]", "JDK 1.2 [x]", "Swing [ ]"}));
    const CJavaItem* jdk = dialog->TechnologyOf(Technology(*dialog, "JDK 1.2"));
    ASSERT_NE(jdk, nullptr);
    EXPECT_EQ(jdk->GetTechnology(), "jdk");
    EXPECT_EQ(jdk->GetDocRoot(), "http://127.0.0.1:1/jdk/");
    EXPECT_EQ(jdk->GetKind(), ITEM_GROUP);
    EXPECT_FALSE(Technology(*dialog, "Swing")->icon(0).isNull());

    // Every label reads whole, and no child reaches out of the dialog.
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(dialog->rect().contains(child->geometry())) << child->metaObject()->className();

    // For looking at the dialog: CORVANE_SHOT_DIR names a folder for a picture of it.
    if (const char* shots = std::getenv("CORVANE_SHOT_DIR"))
        dialog->grab().save(QDir(QString::fromLocal8Bit(shots)).filePath(QStringLiteral("Options.png")));
}

TEST_F(OptionsDlgTest, NoneDisablesTheFiveBoxesAndOkStoresTypeZeroWithTheirContents)
{
    auto dialog = Open();
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    EXPECT_EQ(BoxesEnabled(*dialog), kAllDisabled);
    dialog->GetFirewallCombo()->setCurrentIndex(1);
    EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled);
    dialog->GetHostEdit()->setText("socks.example.org");
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    Click(dialog->GetOkButton());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(GetFirewallType(), 0);
    EXPECT_EQ(GetFirewallHost(), "socks.example.org");
    EXPECT_EQ(GetFirewallPort(), 3128);
    EXPECT_EQ(GetFirewallUsername(), "ada");
    EXPECT_EQ(GetFirewallPassword(), "secret");
}

TEST_F(OptionsDlgTest, ThePortIsReadAsAtoiReadsIt)
{
    const struct
    {
        const char* text;
        int stored;
    } cases[] = {{"80abc", 80}, {"", 0}, {"abc", 0}, {"  443", 443}, {"-1", -1}, {"99999999999", INT_MAX}};
    for (const auto& c : cases) {
        auto dialog = Open();
        dialog->GetPortEdit()->setText(QString::fromLatin1(c.text));
        Click(dialog->GetOkButton());
        EXPECT_EQ(GetFirewallPort(), c.stored) << '"' << c.text << '"';
        EXPECT_EQ(COptionsDlg::ParsePort(c.text), c.stored) << '"' << c.text << '"';
    }
}

TEST_F(OptionsDlgTest, OkStoresThePasswordBoxWhateverTheConfirmationSays)
{
    auto dialog = Open();
    dialog->GetEmailEdit()->setText("grace@example.org");
    dialog->GetFirewallCombo()->setCurrentIndex(2);
    dialog->GetHostEdit()->setText("socks5.example.org");
    dialog->GetUserNameEdit()->setText("grace");
    dialog->GetPasswordEdit()->setText("new one");
    dialog->GetConfirmEdit()->setText("something else");
    Click(dialog->GetOkButton());
    EXPECT_EQ(GetEmail(), "grace@example.org");
    EXPECT_EQ(GetFirewallType(), 2);
    EXPECT_EQ(GetFirewallHost(), "socks5.example.org");
    EXPECT_EQ(GetFirewallUsername(), "grace");
    EXPECT_EQ(GetFirewallPassword(), "new one");
}

TEST_F(OptionsDlgTest, BoxesGiveAtMost255Characters)
{
    auto dialog = Open();
    const std::string longText(300, 'e');
    dialog->GetEmailEdit()->setText(QString::fromStdString(longText));
    dialog->GetHostEdit()->setText(QString::fromStdString(longText));
    Click(dialog->GetOkButton());
    // The settings store reads longer values as missing; 255 characters stand.
    EXPECT_EQ(GetEmail(), std::string(255, 'e'));
    EXPECT_EQ(GetFirewallHost(), std::string(255, 'e'));
}

TEST_F(OptionsDlgTest, ATechnologyMissingFromThePreferencesIsCheckedAndWrittenShown)
{
    WriteFileText(DataFile("preferences.xml"),
                  "<preferences><javatab><display><technology name=\"swing\" show=\"0\"/>"
                  "<technology name=\"beans\" show=\"0\"/></display></javatab></preferences>");
    auto dialog = Open();
    EXPECT_EQ(Technologies(*dialog),
              (std::vector<std::string>{"applet Kit [x]", "Beans [ ]", "JDK 1.2 [x]", "Swing [ ]"}));
    Technology(*dialog, "Beans")->setCheckState(0, Qt::Checked);
    Technology(*dialog, "applet Kit")->setCheckState(0, Qt::Unchecked);
    Click(dialog->GetOkButton());
    EXPECT_EQ(Preferences(), (std::vector<CShown>{{"applets", "0"}, {"beans", "1"}, {"jdk", "1"}, {"swing", "0"}}));
}

TEST_F(OptionsDlgTest, WithoutPreferencesOkCreatesThemWithEveryTechnology)
{
    ASSERT_FALSE(std::filesystem::exists(DataFile("preferences.xml")));
    auto dialog = Open();
    EXPECT_EQ(Technologies(*dialog),
              (std::vector<std::string>{"applet Kit [x]", "Beans [x]", "JDK 1.2 [x]", "Swing [x]"}));
    Click(dialog->GetOkButton());
    EXPECT_EQ(Preferences(), (std::vector<CShown>{{"applets", "1"}, {"beans", "1"}, {"jdk", "1"}, {"swing", "1"}}));
    // Written whole and renamed into place: nothing is left beside it.
    for (const auto& entry : std::filesystem::directory_iterator(m_registry.DataDir()))
        EXPECT_TRUE(entry.is_directory() || entry.path().filename() == "preferences.xml") << entry.path();
}

TEST_F(OptionsDlgTest, AnUnreadablePreferencesFileIsReplacedButOneWithoutItsDisplayIsLeftAlone)
{
    WriteFileText(DataFile("preferences.xml"), "<preferences><javatab>");
    auto dialog = Open();
    EXPECT_EQ(Technologies(*dialog).front(), "applet Kit [x]");
    Click(dialog->GetOkButton());
    EXPECT_EQ(Preferences().size(), 4u);

    WriteFileText(DataFile("preferences.xml"), "<preferences/>");
    dialog = Open();
    dialog->GetEmailEdit()->setText("grace@example.org");
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("preferences.xml")), "<preferences/>");
    EXPECT_EQ(GetEmail(), "grace@example.org") << "the settings are saved all the same";
}

TEST_F(OptionsDlgTest, WithoutAJavaIndexTheTreeIsEmptyAndOkKeepsThePreferences)
{
    const std::string preferences = "<preferences><javatab><display><technology name=\"swing\" show=\"0\"/>"
                                    "</display></javatab></preferences>";
    WriteFileText(DataFile("preferences.xml"), preferences);
    std::filesystem::remove(DataFile("Java/index.xml"));
    auto dialog = Open();
    EXPECT_EQ(dialog->GetTechnologyTree()->topLevelItemCount(), 0);
    dialog->GetEmailEdit()->setText("grace@example.org");
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("preferences.xml")), preferences);
    EXPECT_EQ(GetEmail(), "grace@example.org");
}

TEST_F(OptionsDlgTest, AStoredTypeOutsideTheListSelectsNothingEnablesTheBoxesAndOkStoresMinusOne)
{
    for (const char* stored : {"7", "-3"}) {
        m_registry.Set("FirewallType", stored);
        auto dialog = Open();
        EXPECT_EQ(dialog->GetFirewallCombo()->currentIndex(), -1) << stored;
        EXPECT_EQ(BoxesEnabled(*dialog), kAllEnabled) << stored;
        Click(dialog->GetOkButton());
        EXPECT_EQ(GetFirewallType(), -1) << stored;
    }
}

TEST_F(OptionsDlgTest, CancelWritesNothing)
{
    auto dialog = Open();
    dialog->GetEmailEdit()->setText("grace@example.org");
    dialog->GetFirewallCombo()->setCurrentIndex(0);
    dialog->GetPortEdit()->setText("1");
    Technology(*dialog, "Swing")->setCheckState(0, Qt::Unchecked);
    Click(dialog->GetCancelButton());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(GetEmail(), "ada@example.org");
    EXPECT_EQ(GetFirewallType(), 3);
    EXPECT_EQ(GetFirewallPort(), 3128);
    EXPECT_FALSE(std::filesystem::exists(DataFile("preferences.xml")));
}

TEST_F(OptionsDlgTest, AScanIsStagedCancelLeavesTheIndexAndOkPutsItInPlace)
{
    for (int i = 0; i < 5; ++i)
        WriteFileText(m_classes.File("K" + std::to_string(i) + ".class"), "");
    WriteFileText(DataFile("Local/components.xml"), kComponents);
    std::vector<QString> dialogs;
    m_runner.SetShownHook([&dialogs](CProgressDialog& shown) { dialogs.push_back(shown.windowTitle()); });

    auto dialog = Open();
    EXPECT_FALSE(dialog->IsScanDone());
    Click(dialog->GetScanButton());
    EXPECT_EQ(dialogs, (std::vector<QString>{"Scanning ..."}));
    EXPECT_TRUE(dialog->IsScanDone());
    ASSERT_TRUE(std::filesystem::exists(DataFile("Local/components.xml_new")));
    const std::string staged = ReadFileText(DataFile("Local/components.xml_new"));
    EXPECT_EQ(staged.find("FastDB Driver"), std::string::npos) << "nothing was found on this CLASSPATH";
    Click(dialog->GetCancelButton());
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml")), kComponents);
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml_new")), staged);

    // Without a scan in this dialog, OK leaves the staged file where it is.
    dialog = Open();
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml")), kComponents);

    dialog = Open();
    Click(dialog->GetScanButton());
    Click(dialog->GetOkButton());
    EXPECT_EQ(ReadFileText(DataFile("Local/components.xml")), staged);
    EXPECT_FALSE(std::filesystem::exists(DataFile("Local/components.xml_new")));
}
