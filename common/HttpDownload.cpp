#include "HttpDownload.h"

#include "ErrorReport.h"
#include "FileUtil.h"

namespace
{
// A stamp is one header value; anything larger is not one of ours.
constexpr size_t kMaxStampFile = 64 * 1024;

std::string ReadStoredStamp(const std::string& path)
{
    std::string text;
    if (ReadWholeFile(path, text, kMaxStampFile) != CReadResult::Ok)
        return {};
    return text.substr(0, text.find('\n'));
}
}  // namespace

CHttpDownload::CHttpDownload(IModalRunner& runner, const CDownloadMessages& messages)
    : CHttpClient(runner, messages)
{
}

bool CHttpDownload::Create()
{
    std::string error;
    if (!CreateTransfer(error)) {
        ReportError(error, "CHttpDownload::Create");
        return false;
    }
    return true;
}

bool CHttpDownload::CheckForNewFile()
{
    const char* context = "CHttpDownload::CheckForNewFile";
    if (GetFileName().empty()) {
        ReportError("no target file", context);
        return false;
    }
    std::string stored = ReadStoredStamp(TimeStampFileName(GetFileName()));
    std::string error;
    if (!Perform(CMethod::Head, error)) {
        ReportError(error, context);
        return false;
    }
    auto it = GetResponseHeaders().find("Last-Modified");
    if (it == GetResponseHeaders().end())
        return false;  // without a date there is nothing to compare: keep the local file
    return it->second != stored;
}
