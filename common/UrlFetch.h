#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// URLs are built by plain concatenation; before one goes on the wire the characters that
// cannot stand in a URL (blank, controls, '"', '<', '>', non-ASCII) are percent-encoded.
std::string EncodeUrlForTransfer(std::string_view url);

// Prepares libcurl once per process.
void InitCurlOnce();

struct CFetchLimits
{
    long connectTimeoutSeconds = 30;
    long stallSeconds = 30;               // abort when no byte arrives for this long
    size_t maxBytes = 64 * 1024 * 1024;   // refuse larger answers
};

// A plain GET of an http(s) URL into memory; 2xx only. On failure error says why.
bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CFetchLimits& limits = {});
