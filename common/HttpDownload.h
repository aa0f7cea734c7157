#pragma once

#include <string>

#include "HttpClient.h"

// The system's HTTP client: CHttpClient plus creation and the download-if-newer check
// against the "Last-Modified" value kept in the "_ts" file beside the target.
class CHttpDownload : public CHttpClient
{
public:
    explicit CHttpDownload(IModalRunner& runner, const CDownloadMessages& messages = kControlDownloadMessages);

    bool Create();
    // HEAD of the request URI: true exactly when its "Last-Modified" differs from the first
    // line of the target's time-stamp file. A failed HEAD or no such header is not newer.
    bool CheckForNewFile();
};
