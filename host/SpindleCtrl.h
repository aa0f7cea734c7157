#pragma once

#include <memory>
#include <string>

#include <QPointer>

#include "SpindleCtrlInterface.h"

class QWidget;

// The host's side of the browser control: finds the library registered for the control's
// class id, creates the control through its factory inside a window of the host, and passes
// the tab and item requests on unchanged.
class CSpindleCtrl
{
public:
    CSpindleCtrl() = default;
    ~CSpindleCtrl();
    CSpindleCtrl(const CSpindleCtrl&) = delete;
    CSpindleCtrl& operator=(const CSpindleCtrl&) = delete;

    // The library's path as registered (InprocServer32's default value); empty when none.
    static std::string RegisteredLibraryPath();

    // False when the library cannot be loaded or gives no control; nothing is kept then.
    bool Create(QWidget* parent);
    // The control's window goes before the control object, as the control requires.
    void Destroy();

    QWidget* GetWindow() const { return m_window; }
    void ShowTab(const std::string& tabName);
    void ShowJavaItem(const std::string& packageName, const std::string& className, const std::string& methodName);
    void Advise(ISpindleCtrlEvents* sink);
    void Unadvise(ISpindleCtrlEvents* sink);

private:
    std::unique_ptr<ISpindleCtrl> m_control;
    QPointer<QWidget> m_window;
};
