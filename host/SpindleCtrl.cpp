#include "SpindleCtrl.h"

#include <dlfcn.h>

#include <QWidget>

#include "ErrorReport.h"
#include "UserSetup.h"

CSpindleCtrl::~CSpindleCtrl()
{
    Destroy();
}

std::string CSpindleCtrl::RegisteredLibraryPath()
{
    return CUserSetup::RegisteredControl();
}

bool CSpindleCtrl::Create(QWidget* parent)
{
    Destroy();
    std::string path = RegisteredLibraryPath();
    if (path.empty())
        return false;
    // Never unloaded: the control's Qt objects and static data live as long as the process.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        ReportError(error ? error : "cannot load", "CSpindleCtrl::Create");
        return false;
    }
    auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    if (!getClassObject || getClassObject(kSpindleCtrlClsid, &factory) < 0 || !factory)
        return false;
    ISpindleCtrl* control = nullptr;
    if (factory->CreateInstance(&control) < 0 || !control)
        return false;
    m_control.reset(control);
    m_window = m_control->CreateControlWindow(parent);
    if (!m_window) {
        m_control.reset();
        return false;
    }
    return true;
}

void CSpindleCtrl::Destroy()
{
    delete m_window.data();
    m_control.reset();
}

void CSpindleCtrl::ShowTab(const std::string& tabName)
{
    if (m_control)
        m_control->ShowTab(tabName);
}

void CSpindleCtrl::ShowJavaItem(const std::string& packageName, const std::string& className,
                                const std::string& methodName)
{
    if (m_control)
        m_control->ShowJavaItem(packageName, className, methodName);
}

void CSpindleCtrl::Advise(ISpindleCtrlEvents* sink)
{
    if (m_control)
        m_control->Advise(sink);
}

void CSpindleCtrl::Unadvise(ISpindleCtrlEvents* sink)
{
    if (m_control)
        m_control->Unadvise(sink);
}
