#include "SelfUpdate.h"

#include <cerrno>

#include <sys/stat.h>

#include "DownloadIfNewer.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "HttpDownload.h"
#include "Messages.h"
#include "PendingRenames.h"
#include "Settings.h"
#include "UserPrompt.h"
#include "VendorServers.h"
#include "VersionInfo.h"

namespace
{
bool IsProgramFile(const std::string& name)
{
    return name == "tarnel" || name.ends_with(".so");
}

// The replacement takes the mode of the file it replaces, so that the program and its
// libraries stay executable; the download itself is a data file. A file new to the
// installation gets the mode of its kind within the user's umask. Set before the rename,
// which stays the one step that puts it in place.
bool GiveInstalledMode(const std::string& name, const std::string& download, const std::string& installed)
{
    struct stat st{};
    mode_t mode = 0;
    if (::stat(installed.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else if (errno == ENOENT && ::stat(download.c_str(), &st) == 0) {
        // Created 0666 less the umask: its read bits tell which execute bits the umask allows.
        mode = st.st_mode & 0644;
        if (IsProgramFile(name))
            mode |= (mode & 0444) >> 2;
    } else {
        return false;
    }
    return ::chmod(download.c_str(), mode) == 0;
}
}  // namespace

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
    SetClientKey(FirstLine(text));
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
    // The list stopped at a file that did not arrive: forget that "changes.txt" was seen, so
    // the next start offers the update again instead of losing it until the next release.
    if (!last.result)
        DeleteFileIfExists(CHttpClient::TimeStampFileName(GetInstallPath() + "/" + kUpdateFiles[0] + "_new"));
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
    // A replacement that cannot be made ready or scheduled is a failed download of that
    // file: the next start must offer it again, so its stamp goes with it.
    if (outcome.result &&
        (!GiveInstalledMode(name, download, installed) ||
         (atRestart && !CPendingRenames::ForInstallation(GetInstallPath()).Schedule(download, installed)))) {
        ReportError("cannot prepare " + download, "CSelfUpdate::UpdateComponentFile");
        DeleteFileIfExists(CHttpClient::TimeStampFileName(download));
        outcome.result = false;
    }
    if (!outcome.result) {
        m_prompt.MessageBox("An error occured downloading new DLL, preserving original one.", kAppTitle, MB_OK);
        DeleteFileIfExists(download);
        return outcome;
    }
    if (atRestart) {
        outcome.scheduled = true;
    } else if (!MoveFileReplace(download, installed)) {
        // The stamp would say we have this version; without it the next start tries again.
        DeleteFileIfExists(CHttpClient::TimeStampFileName(download));
    }
    return outcome;
}
