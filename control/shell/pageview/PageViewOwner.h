#pragma once

#include "BusyCursor.h"
#include "TabPageOwner.h"

class IUserPrompt;
class QWidget;

// The page owner of the page viewer: the busy cursor, the selection in the window's
// caption, and a note for Options, which the viewer does not have.
class CPageViewOwner : public ITabPageOwner
{
public:
    CPageViewOwner(IUserPrompt& prompt, int automationFlag);

    void SetWindow(QWidget* window) { m_window = window; }

    void BeginBusy() override;
    void EndBusy() override;
    void ReportSelection(CTabPage& page, const std::string& path) override;
    void OpenOptions() override;
    int GetAutomationFlag() const override { return m_automationFlag; }

private:
    IUserPrompt& m_prompt;
    int m_automationFlag;
    QWidget* m_window = nullptr;
    CBusyCursor m_busy;
};
