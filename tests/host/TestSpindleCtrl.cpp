// A control library for the host's tests, standing where libtarnelctrl.so is registered:
// four named tabs in a real tab widget, ShowTab matching names exactly, ShowJavaItem
// running a modal "search" before it returns, and every call written to the file named by
// CORVANE_TEST_CONTROL_LOG. A test fixture; it is never installed.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QAction>
#include <QDialog>
#include <QTabWidget>
#include <QTimer>

#include "SpindleCtrlInterface.h"

namespace
{
const char* const kTabs[] = {"Java", "Local", "Marketplace", "Testing"};

void Log(const std::string& line)
{
    const char* path = std::getenv("CORVANE_TEST_CONTROL_LOG");
    if (!path || !*path)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

class CTestSpindleCtrl : public ISpindleCtrl
{
public:
    ~CTestSpindleCtrl() override { Log("destroyed"); }

    QWidget* CreateControlWindow(QWidget* parent) override
    {
        m_tabs = new QTabWidget(parent);
        for (const char* name : kTabs) {
            auto* page = new QWidget;
            page->setObjectName(QString::fromUtf8(name));
            m_tabs->addTab(page, QString::fromUtf8(name));
        }
        QObject::connect(m_tabs, &QTabWidget::currentChanged, m_tabs, [this](int) { Activated(); });
        // A key of the control's own, which its container lists in its menu.
        auto* key = new QAction(QStringLiteral("&Test Key"), m_tabs);
        key->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
        m_tabs->addAction(key);
        Log("created");
        // The first page is activated by a posted message, as the control's is.
        QMetaObject::invokeMethod(m_tabs, [this] { Activated(); }, Qt::QueuedConnection);
        return m_tabs;
    }

    HRESULT ShowTab(const std::string& tabName) override
    {
        Log("ShowTab " + tabName);
        SelectTab(tabName);
        return S_OK;
    }

    HRESULT ShowJavaItem(const std::string& packageName, const std::string& className,
                         const std::string& methodName) override
    {
        Log("ShowJavaItem " + packageName + "|" + className + "|" + methodName);
        if (!SelectTab("Java"))
            return S_OK;
        // The search's modal progress dialog, which ends by itself.
        QDialog searching(m_tabs);
        searching.setWindowTitle(QStringLiteral("Searching..."));
        QTimer::singleShot(400, &searching, &QDialog::accept);
        searching.exec();
        Log("search finished");
        return S_OK;
    }

    void Advise(ISpindleCtrlEvents* sink) override { m_sinks.push_back(sink); }
    void Unadvise(ISpindleCtrlEvents* sink) override { std::erase(m_sinks, sink); }

private:
    bool SelectTab(const std::string& name)
    {
        if (!m_tabs)
            return false;
        for (int i = 0; i < m_tabs->count(); ++i) {
            if (m_tabs->tabText(i).toStdString() == name) {
                if (m_tabs->currentIndex() == i)
                    Activated();
                else
                    m_tabs->setCurrentIndex(i);
                return true;
            }
        }
        return false;
    }

    // The page that becomes current reports its selection path.
    void Activated()
    {
        std::string path = m_tabs->tabText(m_tabs->currentIndex()).toStdString() + "/Home";
        Log("current " + path);
        for (ISpindleCtrlEvents* sink : m_sinks)
            sink->TreeSelectionChanged(path);
    }

    QTabWidget* m_tabs = nullptr;
    std::vector<ISpindleCtrlEvents*> m_sinks;
};

class CTestFactory : public IClassFactory
{
public:
    HRESULT CreateInstance(ISpindleCtrl** object) override
    {
        if (!object)
            return E_INVALIDARG;
        *object = new CTestSpindleCtrl;
        return S_OK;
    }
};
}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(const char* clsid, IClassFactory** factory)
{
    static CTestFactory instance;
    if (!clsid || !factory || std::string(clsid) != kSpindleCtrlClsid)
        return E_FAIL;
    *factory = &instance;
    return S_OK;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return S_FALSE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetVersion(DLLVERSIONINFO* info)
{
    if (!info || info->cbSize != sizeof(DLLVERSIONINFO))
        return E_INVALIDARG;
    info->dwMajorVersion = 1;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = (0u << 16) | 9u;
    info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    return S_OK;
}
