#pragma once

#include <string>

#include <QPointer>

#include "VantrelDlg.h"

class CVantrelApp;

// One automation client's object: it passes the tab and item requests to the main window
// that was current when it was made, then brings that window to the front. While it lives
// it keeps the program running (the application's object count).
class CVantrelDlgAutoProxy
{
public:
    explicit CVantrelDlgAutoProxy(CVantrelApp& app);
    ~CVantrelDlgAutoProxy();
    CVantrelDlgAutoProxy(const CVantrelDlgAutoProxy&) = delete;
    CVantrelDlgAutoProxy& operator=(const CVantrelDlgAutoProxy&) = delete;

    void Launch();
    void ShowTab(const std::string& tabName);
    void ShowJavaItem(const std::string& packageName, const std::string& className, const std::string& methodName);

    CVantrelDlg* GetDialog() const { return m_dialog.data(); }

private:
    CVantrelApp& m_app;
    QPointer<CVantrelDlg> m_dialog;
};
