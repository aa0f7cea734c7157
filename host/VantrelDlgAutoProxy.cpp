#include "VantrelDlgAutoProxy.h"

#include "VantrelApp.h"

CVantrelDlgAutoProxy::CVantrelDlgAutoProxy(CVantrelApp& app)
    : m_app(app)
{
    m_app.LockApp();
    m_dialog = m_app.GetMainWindow();
}

CVantrelDlgAutoProxy::~CVantrelDlgAutoProxy()
{
    m_app.UnlockApp();
}

void CVantrelDlgAutoProxy::Launch()
{
    ActivateMainWindow(m_dialog.data());
}

void CVantrelDlgAutoProxy::ShowTab(const std::string& tabName)
{
    if (m_dialog)
        m_dialog->ShowTab(tabName);
    ActivateMainWindow(m_dialog.data());
}

void CVantrelDlgAutoProxy::ShowJavaItem(const std::string& packageName, const std::string& className,
                                        const std::string& methodName)
{
    if (m_dialog)
        m_dialog->ShowJavaItem(packageName, className, methodName);
    // The search ran in a nested loop: the window may have gone meanwhile.
    ActivateMainWindow(m_dialog.data());
}
