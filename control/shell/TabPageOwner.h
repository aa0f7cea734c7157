#pragma once

#include <string>

class CTabPage;

// What a tab page asks of the control that holds it.
class ITabPageOwner
{
public:
    virtual ~ITabPageOwner() = default;

    // A nestable busy cursor: the last EndBusy puts back the cursor of the first BeginBusy.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // The page's tree selection changed (or the page was activated); the owner tells its
    // clients when the page is the current one.
    virtual void ReportSelection(CTabPage& page, const std::string& path) = 0;
    // The Options dialog; afterwards the owner refreshes the Java and Local trees.
    virtual void OpenOptions() = 0;
    // 1 once the program was driven by automation (ShowTab, ShowJavaItem), else 0.
    virtual int GetAutomationFlag() const = 0;
};
