#include "DistributionFiles.h"

#include <ctime>

#include <sys/stat.h>

#include "FileUtil.h"
#include "HttpRouter.h"
#include "PageRenderer.h"
#include "Site.h"

namespace
{
constexpr size_t kMaxFileSize = 256 * 1024 * 1024;

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}
}  // namespace

std::string CDistributionFiles::HttpDate(long long secondsSinceEpoch)
{
    std::time_t time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday], utc.tm_mday,
                  kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string CDistributionFiles::MediaTypeOf(const std::string& path)
{
    if (EndsWith(path, ".xml") || EndsWith(path, ".bnd") || EndsWith(path, ".xsl"))
        return "text/xml; charset=UTF-8";
    if (EndsWith(path, ".txt"))
        return "text/plain; charset=UTF-8";
    if (EndsWith(path, ".css"))
        return "text/css; charset=UTF-8";
    if (EndsWith(path, ".html"))
        return "text/html; charset=UTF-8";
    if (EndsWith(path, ".jar"))
        return "application/java-archive";
    if (EndsWith(path, ".png"))
        return "image/png";
    if (EndsWith(path, ".svg"))
        return "image/svg+xml";
    return "application/octet-stream";
}

bool CDistributionFiles::SendFile(const std::string& path, const CHttpRequest& request, CHttpResponse& response)
{
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::string modified = HttpDate(info.st_mtim.tv_sec);
    response.SetHeader("Last-Modified", modified);
    if (request.Header("If-Modified-Since") == modified) {
        response.status = 304;
        return true;
    }
    std::string body;
    if (ReadWholeFile(path, body, kMaxFileSize) != CReadResult::Ok)
        return false;
    response.status = 200;
    response.SetContent(std::move(body), MediaTypeOf(path).c_str());
    return true;
}

void CDistributionFiles::Register(CHttpRouter& router)
{
    router.Get(R"(/public/(.*))", [this](const CHttpRequest& request, CHttpResponse& response) {
        Serve("public/", request.matches[1], request, response);
    });
    router.Get(R"(/style/(.*))", [this](const CHttpRequest& request, CHttpResponse& response) {
        Serve("www/", request.matches[1], request, response);
    });
}

void CDistributionFiles::Serve(const std::string& folder, const std::string& relative, const CHttpRequest& request,
                               CHttpResponse& response)
{
    auto path = m_site.ResolveFile(folder + relative);
    if (!path || relative.empty()) {
        m_renderer.SendError(response, 404, "There is no file " + request.path + " on this server.");
        return;
    }
    if (!SendFile(*path, request, response))
        m_renderer.SendError(response, 500, "The file " + request.path + " cannot be read.");
}
