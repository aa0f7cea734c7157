#include "UrlFetch.h"

#include <mutex>

#include <curl/curl.h>

namespace
{
struct CSink
{
    std::string* body;
    size_t maxBytes;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<CSink*>(user);
    size_t n = size * count;
    if (sink->body->size() + n > sink->maxBytes) {
        sink->tooLarge = true;
        return 0;
    }
    sink->body->append(data, n);
    return n;
}
}  // namespace

std::string EncodeUrlForTransfer(std::string_view url)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(url.size());
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CFetchLimits& limits)
{
    InitCurlOnce();
    body.clear();
    CURL* curl = curl_easy_init();
    if (!curl) {
        error = "cannot create a transfer";
        return false;
    }
    CSink sink{&body, limits.maxBytes};
    std::string encoded = EncodeUrlForTransfer(url);
    char message[CURL_ERROR_SIZE] = "";
    curl_easy_setopt(curl, CURLOPT_URL, encoded.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
    CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);

    if (rc != CURLE_OK) {
        error = sink.tooLarge ? "answer too large" : (*message ? message : curl_easy_strerror(rc));
        body.clear();
        return false;
    }
    if (status < 200 || status > 299) {
        error = "HTTP status " + std::to_string(status);
        body.clear();
        return false;
    }
    return true;
}
