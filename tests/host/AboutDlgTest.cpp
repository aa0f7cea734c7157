#include "AboutDlg.h"

#include <dlfcn.h>

#include <QLabel>

#include <gtest/gtest.h>

#include "HostTestSupport.h"
#include "support/TestSupport.h"

namespace
{
bool ShowsLine(const CAboutDlg& about, const std::string& line)
{
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        if (label->text().toStdString() == line)
            return true;
    }
    return false;
}
}  // namespace

TEST(CAboutDlg, ShowsTheProductAndBothVersions)
{
    CTestRegistry registry;
    RegisterControlLibrary(TEST_CONTROL_LIBRARY);
    CAboutDlg about;
    EXPECT_EQ(about.GetProductName(), "");  // empty until the dialog initialises
    about.OnInitDialog();

    EXPECT_EQ(about.windowTitle().toStdString(), "About Corvane Component Manager");
    EXPECT_EQ(about.GetProductName(), "Corvane Component Manager");
    // This program's file version (its product version is 1.0.0.0); the library's three numbers.
    EXPECT_EQ(about.GetHostVersionLine(), "tarnel 1.0.0.6");
    EXPECT_EQ(about.GetControlVersionLine(), "libtarnelctrl.so 1.0.9");
    for (const char* line : {"Corvane Component Manager", "tarnel 1.0.0.6", "libtarnelctrl.so 1.0.9", "All rights reserved."})
        EXPECT_TRUE(ShowsLine(about, line)) << line;

    bool picture = false;
    for (const QLabel* label : about.findChildren<QLabel*>())
        picture = picture || !label->pixmap().isNull();
    EXPECT_TRUE(picture);
}

TEST(CAboutDlg, AControlWithoutVersionOnlyShortensItsLine)
{
    CTestRegistry registry;
    CTempDir dir;
    WriteFileText(dir.File("libtarnelctrl.so"), "not a library");
    // Unregistered, not loadable, loadable without DllGetVersion.
    for (const std::string& path : {std::string(), dir.File("libtarnelctrl.so"), std::string("libc.so.6")}) {
        if (!path.empty())
            RegisterControlLibrary(path);
        CAboutDlg about;
        about.OnInitDialog();
        EXPECT_EQ(about.GetControlVersionLine(), "libtarnelctrl.so ") << path;
        EXPECT_EQ(about.GetHostVersionLine(), "tarnel 1.0.0.6");
    }
}

TEST(CAboutDlg, ReadsTheControlLibraryASecondTime)
{
    CTestRegistry registry;
    RegisterControlLibrary(REAL_CONTROL_LIBRARY);
    // Loaded already, as it is while the main window runs; the About box's own load and
    // unload only count up and down.
    void* control = dlopen(REAL_CONTROL_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(control, nullptr) << dlerror();
    CAboutDlg about;
    about.OnInitDialog();
    EXPECT_EQ(about.GetControlVersionLine(), "libtarnelctrl.so 1.0.9");
    EXPECT_EQ(dlopen(REAL_CONTROL_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD), control);
    dlclose(control);
    dlclose(control);
}
