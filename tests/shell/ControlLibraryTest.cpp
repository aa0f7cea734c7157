// libtarnelctrl.so as the host and the install step see it: loaded by path, reached only
// through its five exports.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTabBar>
#include <QWidget>

#include <gtest/gtest.h>

#include "DllVersionInfo.h"
#include "Registry.h"
#include "ShellTestSupport.h"
#include "SpindleCtrlInterface.h"
#include "VersionBlock.h"
#include "support/TestSupport.h"

namespace
{
const std::string kClassKey = std::string("CLSID\\") + kSpindleCtrlClsid;
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

class CSink : public ISpindleCtrlEvents
{
public:
    void TreeSelectionChanged(const std::string& selection) override { m_events.push_back(selection); }
    std::vector<std::string> m_events;
};

std::string ClassesRoot(const std::string& key, const std::string& name = "")
{
    return RegReadString(HKEY_CLASSES_ROOT, key, name, "<missing>");
}

// Runs the regsvr tool with the arguments in directory; its exit code.
int RunRegsvr(const std::vector<std::string>& arguments, const std::string& directory)
{
    std::vector<char*> argv{const_cast<char*>(REGSVR_PROGRAM)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(directory.c_str()) != 0)
            ::_exit(126);
        ::execv(REGSVR_PROGRAM, argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ControlLibraryTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Never closed: the control's Qt objects and statics live as long as the process.
        s_library = ::dlopen(TARNELCTRL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_library, nullptr) << ::dlerror();
    }

    template <typename Function>
    static Function Entry(const char* name)
    {
        return reinterpret_cast<Function>(::dlsym(s_library, name));
    }

    static void* s_library;
    CTestRegistry m_registry;
};

void* ControlLibraryTest::s_library = nullptr;
}  // namespace

TEST_F(ControlLibraryTest, ExportsOnlyItsEntryPointsAndDllGetVersionFoldsTheFileVersion)
{
    EXPECT_EQ(std::filesystem::path(TARNELCTRL_LIBRARY).filename(), "libtarnelctrl.so");
    for (const char* name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer", "DllGetVersion"})
        EXPECT_NE(::dlsym(s_library, name), nullptr) << name;
    // The shared code inside stays the library's own.
    for (const char* name : {"_Z8GetEmailB5cxx11v", "_ZN12CSpindleCtrl16GetInstanceCountEv"})
        EXPECT_EQ(::dlsym(s_library, name), nullptr) << name;

    // The build stamps the library with file version 1.0.0.9.
    const std::optional<CVersionBlock> block = ReadVersionBlock(TARNELCTRL_LIBRARY);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->fixed.dwFileVersionMS, 0x00010000u);
    ASSERT_EQ(block->fixed.dwFileVersionLS, 0x00000009u);
    auto getVersion = Entry<DllGetVersionFunction>("DllGetVersion");
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    ASSERT_EQ(getVersion(&info), S_OK);
    EXPECT_EQ((std::vector<std::uint32_t>{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                                          info.dwPlatformID}),
              (std::vector<std::uint32_t>{1, 0, 9, 1}));
    EXPECT_EQ(getVersion(nullptr), E_INVALIDARG);

    // A library whose file no longer holds its version still answers, with zeros.
    CTempDir dir;
    const std::string copy = dir.File("libtarnelctrl.so");
    std::filesystem::copy_file(TARNELCTRL_LIBRARY, copy);
    void* second = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(second, nullptr) << ::dlerror();
    std::filesystem::remove(copy);
    WriteFileText(copy, "not a library");
    auto unreadable = reinterpret_cast<DllGetVersionFunction>(::dlsym(second, "DllGetVersion"));
    info = DLLVERSIONINFO{};
    info.cbSize = sizeof info;
    info.dwMajorVersion = 7;
    EXPECT_EQ(unreadable(&info), S_OK);
    EXPECT_EQ((std::vector<std::uint32_t>{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
                                          info.dwPlatformID}),
              (std::vector<std::uint32_t>{0, 0, 0, 1}));
}

TEST_F(ControlLibraryTest, TheFactoryMakesControlsThatShowTheirTabsAndTellTheirSelection)
{
    CPageTestServer server;
    server.Configure(m_registry);
    m_registry.Set("OfflineMode", "1");
    WriteFileText(m_registry.DataDir() + "/Local/components.xml", "<components/>");

    auto getClassObject = Entry<DllGetClassObjectFunction>("DllGetClassObject");
    auto canUnloadNow = Entry<DllCanUnloadNowFunction>("DllCanUnloadNow");
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(1);
    EXPECT_EQ(getClassObject("{5DB69F54-1073-11D4-A233-0060B0EE16F3}", &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(getClassObject(nullptr, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(getClassObject(kSpindleCtrlClsid, nullptr), E_INVALIDARG);
    ASSERT_EQ(getClassObject("{ad1b9655-b406-11d3-a1dd-0060b0ee16f3}", &factory), S_OK);
    ASSERT_NE(factory, nullptr);
    IClassFactory* again = nullptr;
    getClassObject(kSpindleCtrlClsid, &again);
    EXPECT_EQ(again, factory);

    EXPECT_EQ(canUnloadNow(), S_OK);
    ISpindleCtrl* created = nullptr;
    ASSERT_EQ(factory->CreateInstance(&created), S_OK);
    std::unique_ptr<ISpindleCtrl> control(created);
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    CSink sink;
    control->Advise(&sink);
    auto host = std::make_unique<QWidget>();
    host->resize(800, 500);
    QWidget* window = control->CreateControlWindow(host.get());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWidget(), host.get());
    window->resize(host->size());
    host->show();
    ASSERT_TRUE(WaitFor([&] { return !sink.m_events.empty(); }));
    EXPECT_EQ(sink.m_events.back(), "Home");

    const QList<QTabBar*> strips = window->findChildren<QTabBar*>();
    ASSERT_EQ(strips.size(), 1);
    QTabBar* strip = strips.front();
    ASSERT_EQ(strip->count(), 4);
    EXPECT_EQ(strip->tabText(3), "Testing");
    const size_t before = sink.m_events.size();
    EXPECT_EQ(control->ShowTab("Testing"), S_OK);
    EXPECT_EQ(strip->currentIndex(), 3);
    ASSERT_TRUE(WaitFor([&] { return sink.m_events.size() > before; }));
    EXPECT_EQ(sink.m_events.back(), "");
    EXPECT_EQ(control->ShowTab("testing"), S_OK);
    EXPECT_EQ(strip->currentIndex(), 3);

    // The host's order: the window, then the control.
    host.reset();
    control->Unadvise(&sink);
    control.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ControlLibraryTest, RegistrationWritesTheClassEntriesAndUnregistrationRemovesThemAlone)
{
    const std::string other = "CLSID\\{5DB69F54-1073-11D4-A233-0060B0EE16F3}\\LocalServer32";
    RegCreateKey(HKEY_CLASSES_ROOT, other);
    RegWriteString(HKEY_CLASSES_ROOT, other, "", "/usr/bin/tarnel");
    RegCreateKey(HKEY_CLASSES_ROOT, kClassKey + "\\Stale");

    ASSERT_EQ(Entry<DllRegisterServerFunction>("DllRegisterServer")(), S_OK);
    const std::string library = std::filesystem::canonical(TARNELCTRL_LIBRARY).string();
    const std::vector<std::array<std::string, 3>> entries = {
        {kClassKey, "", "SpindleCtrl Class"},
        {kClassKey + "\\InprocServer32", "", library},
        {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {kClassKey + "\\ProgID", "", "Spindle.SpindleCtrl.1"},
        {kClassKey + "\\VersionIndependentProgID", "", "Spindle.SpindleCtrl"},
        {kClassKey + "\\ToolboxBitmap32", "", library + ", 101"},
        {kClassKey + "\\MiscStatus", "", "0"},
        {kClassKey + "\\MiscStatus\\1", "", "131473"},
        {kClassKey + "\\TypeLib", "", "{AD1B9646-B406-11D3-A1DD-0060B0EE16F3}"},
        {kClassKey + "\\Version", "", "1.0"},
        {"Spindle.SpindleCtrl.1\\CLSID", "", kSpindleCtrlClsid},
        {"Spindle.SpindleCtrl\\CLSID", "", kSpindleCtrlClsid},
        {"Spindle.SpindleCtrl\\CurVer", "", "Spindle.SpindleCtrl.1"},
        {"TypeLib\\{AD1B9646-B406-11D3-A1DD-0060B0EE16F3}\\1.0", "", "TarnelCtrl 1.0 Type Library"},
        {other, "", "/usr/bin/tarnel"},
    };
    for (const auto& [key, name, value] : entries)
        EXPECT_EQ(ClassesRoot(key, name), value) << key << " " << name;
    const std::string text = ReadFileText(m_registry.Path());
    for (const char* key : {"\\Programmable]", "\\Control]", "\\Insertable]"})
        EXPECT_NE(text.find(std::string("[HKEY_CLASSES_ROOT\\") + kClassKey + key), std::string::npos) << key;
    EXPECT_EQ(text.find("\\Stale]"), std::string::npos) << "the class key is replaced whole";

    auto unregister = Entry<DllRegisterServerFunction>("DllUnregisterServer");
    ASSERT_EQ(unregister(), S_OK);
    const std::string after = ReadFileText(m_registry.Path());
    for (const char* gone : {"AD1B9655", "AD1B9646", "AD1B9654", "AD1B9653", "Spindle.SpindleCtrl"})
        EXPECT_EQ(after.find(gone), std::string::npos) << gone;
    EXPECT_EQ(ClassesRoot(other), "/usr/bin/tarnel");
    EXPECT_EQ(unregister(), S_OK) << "nothing left to remove is no failure";
}

TEST_F(ControlLibraryTest, RegsvrRegistersTheLibraryByItsAbsolutePath)
{
    const std::filesystem::path library = std::filesystem::canonical(TARNELCTRL_LIBRARY);
    const std::string directory = library.parent_path().parent_path().string();
    const std::string relative = library.parent_path().filename().string() + "/" + library.filename().string();

    ASSERT_EQ(RunRegsvr({"/s", relative}, directory), 0);
    EXPECT_EQ(ClassesRoot(kClassKey + "\\InprocServer32"), library.string());
    ASSERT_EQ(RunRegsvr({"-u", "-s", library.string()}, "/"), 0);
    EXPECT_EQ(ClassesRoot(kClassKey + "\\InprocServer32"), "<missing>");

    CTempDir dir;
    WriteFileText(dir.File("libbroken.so"), "not a library");
    EXPECT_EQ(RunRegsvr({"/s", dir.File("libbroken.so")}, "/"), 3);
    EXPECT_EQ(RunRegsvr({"/s", "libc.so.6"}, "/"), 4);
    EXPECT_EQ(RunRegsvr({}, "/"), 1);
    EXPECT_EQ(RunRegsvr({"/x", relative}, directory), 1);
}
