#pragma once

#include "Messages.h"
#include "ModalDialog.h"

class CHttpClient;

// The "Downloading ..." dialog: tells the client its window, cannot be cancelled, shows
// the progress the transfer posts and ends with IDOK when the transfer is done.
class CDownloadDialog : public CModalDialogCore
{
public:
    CDownloadDialog(CHttpClient& client, const CDownloadMessages& messages);

    void OnInitDialog(HWND self) override;
    void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    CHttpClient& m_client;
    CDownloadMessages m_messages;
};
