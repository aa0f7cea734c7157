#include "DownloadDialog.h"

#include <climits>

#include "HttpClient.h"
#include "UserPrompt.h"

CDownloadDialog::CDownloadDialog(CHttpClient& client, const CDownloadMessages& messages)
    : m_client(client), m_messages(messages)
{
    bool host = messages.progress == kHostDownloadMessages.progress;
    SetCaption(host ? kAppTitle : "Downloading ...");
    SetText("Downloading ...");
    SetRange(0, 0);
}

void CDownloadDialog::OnInitDialog(HWND self)
{
    EnableCancel(false);
    m_client.SetNotifyWindow(self);
}

void CDownloadDialog::OnMessage(unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (message == m_messages.progress) {
        // The bar counts in int; halve both ends of a larger transfer until they fit.
        unsigned long long position = wParam;
        unsigned long long total = lParam > 0 ? static_cast<unsigned long long>(lParam) : 0;
        while (total > INT_MAX || position > INT_MAX) {
            total >>= 1;
            position >>= 1;
        }
        SetRange(0, static_cast<int>(total));
        SetPosition(static_cast<int>(position));
    } else if (message == m_messages.done) {
        EndDialog(IDOK);
    }
}
