#pragma once

#include <string>

struct CTransferSettings;

// A plain GET of an http(s) URL into memory, bound by the transfer settings; 2xx only.
// On failure error says why.
bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CTransferSettings& settings);
