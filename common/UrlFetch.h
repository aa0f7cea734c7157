#pragma once

#include <string>
#include <string_view>

struct CTransferSettings;

// URLs are built by plain concatenation; before one goes on the wire the characters that
// cannot stand in a URL (blank, controls, '"', '<', '>', non-ASCII) are percent-encoded.
std::string EncodeUrlForTransfer(std::string_view url);

// Prepares libcurl once per process.
void InitCurlOnce();

// A plain GET of an http(s) URL into memory, bound by the transfer settings; 2xx only.
// On failure error says why.
bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CTransferSettings& settings);
