#pragma once

#include <string>

#include "DllVersionInfo.h"

// The browser control as the host program sees it: a class id in the registry file names
// the library, which the host dlopens and asks for the control's factory. Both sides are Qt
// programs linked against the same Qt; only the window type is named here.

class QWidget;

inline constexpr const char* kSpindleCtrlClsid = "{AD1B9655-B406-11D3-A1DD-0060B0EE16F3}";
inline constexpr const char* kSpindleCtrlProgId = "Spindle.SpindleCtrl.1";

// The control's event interface: TreeSelectionChanged (DISPID 1).
class ISpindleCtrlEvents
{
public:
    virtual ~ISpindleCtrlEvents() = default;
    virtual void TreeSelectionChanged(const std::string& selection) = 0;
};

// ISpindleCtrl: ShowTab (DISPID 1) and ShowJavaItem (DISPID 2), plus what the container needs.
class ISpindleCtrl
{
public:
    virtual ~ISpindleCtrl() = default;

    // In-place activation: creates the control's window (tab strip and pages) inside parent.
    // The window belongs to parent; the object must outlive it.
    virtual QWidget* CreateControlWindow(QWidget* parent) = 0;

    virtual HRESULT ShowTab(const std::string& tabName) = 0;
    virtual HRESULT ShowJavaItem(const std::string& packageName, const std::string& className,
                                 const std::string& methodName) = 0;

    // Connection points: every sink connected receives every event; failures are ignored.
    virtual void Advise(ISpindleCtrlEvents* sink) = 0;
    virtual void Unadvise(ISpindleCtrlEvents* sink) = 0;
};

class IClassFactory
{
public:
    virtual ~IClassFactory() = default;
    // A new control; the caller deletes it before it unloads the library.
    virtual HRESULT CreateInstance(ISpindleCtrl** object) = 0;
};

// The control library's exports. DllGetClassObject answers a factory that lives as long as
// the library is loaded; the caller does not delete it.
extern "C" {
using DllGetClassObjectFunction = HRESULT (*)(const char* clsid, IClassFactory** factory);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
}
