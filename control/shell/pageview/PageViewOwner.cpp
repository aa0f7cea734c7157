#include "PageViewOwner.h"

#include <QWidget>

#include "TabPage.h"
#include "UserPrompt.h"

CPageViewOwner::CPageViewOwner(IUserPrompt& prompt, int automationFlag)
    : m_prompt(prompt)
    , m_automationFlag(automationFlag)
{
}

void CPageViewOwner::BeginBusy()
{
    m_busy.Begin();
}

void CPageViewOwner::EndBusy()
{
    m_busy.End();
}

void CPageViewOwner::ReportSelection(CTabPage& page, const std::string& path)
{
    if (!m_window)
        return;
    const std::string caption = path.empty() ? page.GetName() : path;
    m_window->setWindowTitle(QString::fromStdString(caption + " - " + kAppTitle));
}

void CPageViewOwner::OpenOptions()
{
    m_prompt.MessageBox("The Options dialog is not part of the page viewer; run the program to change options.",
                        kAppTitle, MB_OK | MB_ICONINFORMATION);
}
