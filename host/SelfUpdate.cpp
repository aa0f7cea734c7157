#include "SelfUpdate.h"

#include "DownloadIfNewer.h"
#include "FileUtil.h"
#include "HttpDownload.h"
#include "Messages.h"
#include "PendingRenames.h"
#include "Settings.h"
#include "UserPrompt.h"
#include "VendorServers.h"
#include "VersionInfo.h"

const std::array<const char*, 5> CSelfUpdate::kUpdateFiles = {
    "changes.txt", "libtarnelctrl.so", "tarnel", "libtarnelvc.so", "tarnellauncher.jar",
};

CSelfUpdate::CSelfUpdate(IModalRunner& runner, IUserPrompt& prompt)
    : m_runner(runner), m_prompt(prompt)
{
}

std::string CSelfUpdate::ProductVersionText()
{
    CVersionInfo info;
    info.ReadFromModule(reinterpret_cast<const void*>(&CSelfUpdate::ProductVersionText));
    return info.GetProductVersion().GetText();
}

bool CSelfUpdate::RegisterClient()
{
    std::string version = ProductVersionText();
    CHttpDownload http(m_runner, kHostDownloadMessages);
    if (!ConfigureFromSettings(http, ComponentUrlServer()))
        return false;
    std::string keyFile = GetInstallPath() + "/key.txt";
    http.SetFileName(keyFile);
    http.SetUri("/Vantrel/ui/clientid.jsp?exeversion=" + version + "&clientid=" + GetClientKey() +
                "&email=" + GetEmail());
    if (!http.Download(true, false))
        return false;
    std::string text;
    ReadWholeFile(keyFile, text, 64 * 1024);
    SetClientKey(text.substr(0, text.find('\n')));
    DeleteFileIfExists(keyFile);
    return true;
}

void CSelfUpdate::UpdateComponents(bool& restart)
{
    CHttpDownload http(m_runner, kHostDownloadMessages);
    ConfigureFromSettings(http, DistributionServer());

    CFileResult last = UpdateComponentFile(kUpdateFiles[0], http, true, false);
    if (!last.newer || !last.accepted)
        return;
    bool ask = true;
    for (size_t i = 1; i < kUpdateFiles.size() && last.result; ++i) {
        if (last.accepted)
            ask = false;
        if (last.scheduled)
            restart = true;
        last = UpdateComponentFile(kUpdateFiles[i], http, ask, i >= 2);
    }
    if (last.scheduled)
        restart = true;
}

CSelfUpdate::CFileResult CSelfUpdate::UpdateComponentFile(const std::string& name, CHttpDownload& http, bool ask,
                                                          bool atRestart)
{
    CFileResult outcome;
    const std::string installed = GetInstallPath() + "/" + name;
    const std::string download = installed + "_new";
    http.SetFileName(download);
    http.SetUri(GetDistributionPath() + "/" + name);
    if (!http.CheckForNewFile())
        return outcome;
    outcome.newer = true;
    if (ask) {
        int answer = m_prompt.MessageBox(
            "Corvane Component Manager has been updated. Do you wish to download updated components now?", kAppTitle,
            MB_YESNO);
        if (answer != IDYES)
            return outcome;
        outcome.accepted = true;
    }
    outcome.result = http.Download(true, true);
    if (!outcome.result) {
        m_prompt.MessageBox("An error occured downloading new DLL, preserving original one.", kAppTitle, MB_OK);
        DeleteFileIfExists(download);
        return outcome;
    }
    if (atRestart) {
        CPendingRenames::ForInstallation(GetInstallPath()).Schedule(download, installed);
        outcome.scheduled = true;
    } else if (!MoveFileReplace(download, installed)) {
        // The stamp would say we have this version; without it the next start tries again.
        DeleteFileIfExists(CHttpClient::TimeStampFileName(download));
    }
    return outcome;
}
