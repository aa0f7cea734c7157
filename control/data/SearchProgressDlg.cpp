#include "SearchProgressDlg.h"

#include "Messages.h"
#include "SearchThread.h"

CSearchProgressDlg::CSearchProgressDlg(std::string searchText, CStartStep startStep, bool showProgressBar)
    : m_searchText(std::move(searchText))
    , m_startStep(std::move(startStep))
    , m_showProgressBar(showProgressBar)
{
    SetCaption("Searching...");
    SetWindowStyle(m_showProgressBar, true);
    SetText("Searching...");
}

// Destroying the search waits for its thread.
CSearchProgressDlg::~CSearchProgressDlg() = default;

void CSearchProgressDlg::EndSearch()
{
    m_thread.reset();
}

void CSearchProgressDlg::OnInitDialog(HWND self)
{
    SetText("Searching for \"" + m_searchText + "\"");
    if (m_startStep)
        m_thread = m_startStep(self);
    // Without a running search no message would ever end the dialog.
    if (!m_thread || m_thread->Start() == 0)
        EndDialog(IDCANCEL);
}

void CSearchProgressDlg::OnMessage(unsigned message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_SEARCH_STARTED:
        SetRange(0, static_cast<int>(lParam));
        break;
    case WM_SEARCH_PROGRESS:
        SetPosition(++m_steps);
        break;
    case WM_SEARCH_FINISHED:
        EndDialog(IDOK);
        break;
    default:
        break;
    }
}

void CSearchProgressDlg::OnCancel()
{
    if (m_thread && m_thread->IsRunning())
        m_thread->Stop();
    EndDialog(IDCANCEL);
}
