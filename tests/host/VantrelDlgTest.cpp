#include "VantrelDlg.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "AboutDlg.h"
#include "EscapeFilter.h"
#include "HostTestSupport.h"
#include "support/QtTestSupport.h"
#include "support/TestSupport.h"

namespace
{
class VantrelDlgFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterControlLibrary(TEST_CONTROL_LIBRARY);
    }

    std::string ControlLog() const { return ReadFileText(m_dir.File("control.log")); }

    // Runs the dialog modally; script runs once it shows and must end it.
    static int RunModal(CVantrelDlg& dialog, const std::function<void()>& script)
    {
        QTimer::singleShot(0, &dialog, [&] {
            WaitFor([&] { return dialog.isVisible(); });
            script();
        });
        return dialog.DoModal();
    }

    CTestRegistry m_registry;
    CTempDir m_dir;
    CScopedEnvironment m_controlLog{"CORVANE_TEST_CONTROL_LOG", m_dir.File("control.log")};
};
}  // namespace

TEST_F(VantrelDlgFixture, WithoutAControlThereIsNoWindow)
{
    CTempDir dir;
    WriteFileText(dir.File("libtarnelctrl.so"), "not a library");
    for (const std::string& path : {std::string("/nonexistent/libtarnelctrl.so"), dir.File("libtarnelctrl.so"),
                                    std::string(TEST_VERSION_ONLY_LIBRARY)}) {
        RegisterControlLibrary(path);
        CVantrelDlg dialog;
        EXPECT_EQ(dialog.DoModal(), -1) << path;
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.GetControlWindow(), nullptr);
    }
}

TEST_F(VantrelDlgFixture, ControlFillsTheWindowAboveItsMinimumSize)
{
    CVantrelDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    dialog.show();
    QWidget* control = dialog.GetControlWindow();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &dialog);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Corvane Component Manager");
    EXPECT_GE(dialog.width(), 640);
    EXPECT_GE(dialog.height(), 320);

    for (QSize size : {QSize(900, 700), QSize(100, 100), QSize(640, 320)}) {
        dialog.resize(size);
        WaitFor([&] { return control->width() == dialog.width(); });
        EXPECT_EQ(dialog.size(), size.expandedTo(QSize(640, 320)));
        EXPECT_EQ(control->width(), dialog.width());
        // The About entry's menu bar above it, nothing below.
        EXPECT_EQ(control->geometry().bottom(), dialog.rect().bottom());
        EXPECT_LT(control->y(), dialog.height() / 4);
    }
}

TEST_F(VantrelDlgFixture, SelectionPathBecomesTheCaption)
{
    CVantrelDlg dialog;
    ASSERT_TRUE(dialog.OnInitDialog());
    EXPECT_TRUE(WaitFor(
        [&] { return dialog.windowTitle().toStdString() == "Corvane Component Manager Java/Home"; }));
    dialog.ShowTab("Local");
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Corvane Component Manager Local/Home");
    dialog.ShowTab("local");  // passed on as it is; the control knows no such tab
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Corvane Component Manager Local/Home");
    dialog.ShowJavaItem("java.util", "", "size");
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Corvane Component Manager Java/Home");
    EXPECT_EQ(ControlLog(), "created\ncurrent Java/Home\nShowTab Local\ncurrent Local/Home\nShowTab local\n"
                            "ShowJavaItem java.util||size\ncurrent Java/Home\nsearch finished\n");
}

TEST_F(VantrelDlgFixture, EnterAndEscapeLeaveItOpenTheCloseBoxEndsIt)
{
    CEscapeFilter filter;
    qApp->installEventFilter(&filter);
    CVantrelDlg dialog;
    bool openAfterKeys = false;
    int result = RunModal(dialog, [&] {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(&dialog, key);
        QTest::keyClick(dialog.GetControlWindow(), Qt::Key_Escape);
        Pump(std::chrono::milliseconds(100));
        openAfterKeys = dialog.isVisible();
        dialog.close();
    });
    qApp->removeEventFilter(&filter);
    EXPECT_TRUE(openAfterKeys);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(VantrelDlgFixture, F1AndTheMenuEntryOpenTheAboutBox)
{
    CVantrelDlg dialog;
    std::vector<std::string> captions;
    bool enabledWhileAbout = true;
    RunModal(dialog, [&] {
        auto closeAbout = [&] {
            WaitFor([] { return dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget()) != nullptr; },
                               std::chrono::seconds(5));
            if (auto* about = dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                captions.push_back(about->windowTitle().toStdString());
                enabledWhileAbout = enabledWhileAbout && dialog.IsInputEnabled();
                about->accept();
            }
        };
        // A window shortcut needs its window active, as it is for a user pressing F1.
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTimer::singleShot(0, &dialog, closeAbout);
        QTest::keyClick(&dialog, Qt::Key_F1);
        for (QAction* action : dialog.findChildren<QAction*>()) {
            if (action->text().toStdString() == CVantrelDlg::kAboutMenuText) {
                QTimer::singleShot(0, &dialog, closeAbout);
                action->trigger();
            }
        }
        dialog.reject();
    });
    EXPECT_EQ(captions, std::vector<std::string>(2, "About Corvane Component Manager"));
    // The Help menu lists the control's keys above its own entry.
    std::vector<std::string> help;
    for (QAction* action : dialog.findChild<QMenuBar*>()->actions().at(0)->menu()->actions())
        help.push_back(action->text().toStdString() + " " + action->shortcut().toString().toStdString());
    EXPECT_EQ(help, (std::vector<std::string>{"&Test Key Ctrl+T", " ", std::string(CVantrelDlg::kAboutMenuText) + " F1"}));
    EXPECT_FALSE(enabledWhileAbout);
    EXPECT_TRUE(dialog.IsInputEnabled());
}

TEST(ActivateMainWindow, ShowsRaisesAndLeavesAMinimisedWindowMinimised)
{
    QWidget window;
    ActivateMainWindow(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.testAttribute(Qt::WA_ShowWithoutActivating));  // only while showing

    window.showMinimized();
    ActivateMainWindow(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMinimized());  // shown as it is, not restored

    ActivateMainWindow(nullptr);
}
