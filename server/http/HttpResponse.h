#pragma once

#include <string>

#include "HttpRequest.h"

// What a page handler answers; the front end adds the transfer headers.
struct CHttpResponse
{
    int status = 200;
    std::string body;
    std::string contentType;
    CHeaderList headers;

    void SetContent(std::string content, std::string type);
    // Replaces a header of that name.
    void SetHeader(const std::string& name, const std::string& value);
    void Redirect(const std::string& location);
};
