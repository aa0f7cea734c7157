#pragma once

#include <string>

#include "HttpRequest.h"
#include "HttpResponse.h"

// A handler's answer as it goes out on the connection: the whole message in bytes, with
// what the access log records.
struct CHttpAnswer
{
    int status = 200;
    size_t bodyBytes = 0;  // of the body as sent (after a range or gzip; none for HEAD)
    std::string bytes;
};

// Shapes a response for the request it answers: a single byte range (206, or 416 past the
// end), gzip over 1 KiB of text when the client takes it, no body for HEAD, 204 and 304,
// and the connection closed after it unless the request keeps it alive.
CHttpAnswer ShapeResponse(const CHttpRequest& request, CHttpResponse response);
