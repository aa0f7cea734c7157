#include "ScanProgressDlg.h"

#include <climits>

#include "Messages.h"

CScanProgressDlg::CScanProgressDlg(std::string classPath, bool direct, CPrefixCache& cache)
    : m_classPath(std::move(classPath))
    , m_direct(direct)
    , m_thread(cache)
{
    SetCaption("Scanning ...");
    SetText("Scanning...");
}

void CScanProgressDlg::OnInitDialog(HWND self)
{
    m_thread.SetClassPath(m_classPath);
    m_thread.SetLocations(m_locations);
    m_thread.SetDirectMode(m_direct);
    m_thread.SetTargetWindow(self);
    // Without a thread no message would ever end the dialog; nothing was scanned.
    if (m_thread.Start() == 0)
        EndDialog(IDCANCEL);
}

void CScanProgressDlg::OnMessage(unsigned message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_SCAN_STARTED:
        // The whole count: more than 65535 names must not wrap the bar's maximum.
        SetRange(0, lParam > INT_MAX ? INT_MAX : static_cast<int>(lParam));
        m_steps = 0;
        SetPosition(0);
        break;
    case WM_SCAN_PROGRESS:
        SetPosition(++m_steps);
        break;
    case WM_SCAN_ITEM: {
        // The list of items is fixed once the scan has started.
        const size_t item = static_cast<size_t>(lParam);
        const size_t count = m_thread.GetItemCount();
        if (item < count) {
            const std::string path = m_thread.GetItemPath(item);
            SetText("Scanning " + path.substr(path.rfind('/') + 1) + " (" + std::to_string(item + 1) + " of " +
                    std::to_string(count) + ")...");
        }
        break;
    }
    case WM_SCAN_FINISHED:
        EndDialog(IDOK);
        break;
    default:
        break;
    }
}

void CScanProgressDlg::OnCancel()
{
    if (m_thread.IsRunning())
        m_thread.Stop();
    EndDialog(IDOK);
}
