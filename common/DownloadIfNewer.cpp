#include "DownloadIfNewer.h"

#include "ErrorReport.h"
#include "FileUtil.h"
#include "Settings.h"

namespace
{
// Moves a finished "_new" file over the local file; any failure leaves the local file
// as it was and removes the "_new" file.
bool Replace(CHttpDownload& download, bool transferred, const std::string& target, const std::string& localFile)
{
    if (transferred && MoveFileReplace(target, localFile))
        return true;
    if (transferred) {
        ReportError("cannot replace " + localFile, "DownloadIfNewer");
        // The stamp would claim a file we do not have; drop it so the next check fetches again.
        DeleteFileIfExists(CHttpClient::TimeStampFileName(download.GetFileName()));
    }
    DeleteFileIfExists(target);
    return false;
}
}  // namespace

bool ConfigureFromSettings(CHttpDownload& download, const CServerAddress& server)
{
    if (!download.Create())
        return false;
    // Setter results are not examined: a bad setting shows as a failing request.
    download.SetServerProperties(server.host, server.port);
    download.SetFirewallProperties(GetFirewallHost(), GetFirewallPort(), GetFirewallType(), GetFirewallUsername(),
                                   GetFirewallPassword());
    download.SetTimeout(GetHttpTimeout());
    download.SetDeadline(GetHttpDeadline());
    return true;
}

namespace
{
// The standard calling order up to the request: localFile + "_new" is the target.
bool Prepare(CHttpDownload& download, const CServerAddress& server, const std::string& uri,
             const std::string& localFile)
{
    if (!ConfigureFromSettings(download, server))
        return false;
    download.SetFileName(localFile + "_new");
    download.SetUri(uri);
    return true;
}
}  // namespace

bool DownloadIfNewer(IModalRunner& runner, const CServerAddress& server, const std::string& uri,
                     const std::string& localFile)
{
    CHttpDownload download(runner);
    if (!Prepare(download, server, uri, localFile) || !download.CheckForNewFile())
        return false;
    return Replace(download, download.Download(true, true), localFile + "_new", localFile);
}

bool DownloadReplacing(IModalRunner& runner, const CServerAddress& server, const std::string& uri,
                       const std::string& localFile, bool showProgress, bool keepTimeStamp)
{
    CHttpDownload download(runner);
    if (!Prepare(download, server, uri, localFile))
        return false;
    return Replace(download, download.Download(showProgress, keepTimeStamp), localFile + "_new", localFile);
}
