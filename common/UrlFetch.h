#pragma once

#include <string>
#include <string_view>

struct CTransferSettings;

// A plain GET of an http(s) URL into memory, bound by the transfer settings; 2xx only.
// On failure error says why.
bool FetchUrl(const std::string& url, std::string& body, std::string& error, const CTransferSettings& settings);

// A value for a URL's query or path segment: everything but letters, digits and "-._~"
// percent-encoded, so that no '&', '#', '%' or blank in it changes the address.
std::string EncodeUrlComponent(std::string_view text);
