#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A file of a multipart form.
struct CFormFile
{
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

using CHeaderList = std::vector<std::pair<std::string, std::string>>;

// One request as the page handlers see it: the decoded path, the query and form fields in
// the order they came, the files of a multipart form, and what the route captured.
struct CHttpRequest
{
    std::string method;
    std::string target;  // as sent
    std::string path;    // target without the query, percent-decoded
    std::string remoteAddress;
    std::string body;
    CHeaderList headers;
    CHeaderList params;  // query fields, then form fields
    std::vector<CFormFile> files;
    std::vector<std::string> matches;  // [0] the whole path, then the route's groups
    bool keepAlive = true;             // the client sends another request on the connection

    // First header of that name (any case); empty when absent.
    std::string Header(std::string_view name) const;
    bool HasParameter(std::string_view name) const;
    // First value of a field; empty when absent.
    std::string Parameter(std::string_view name) const;
    const CFormFile* File(std::string_view name) const;

    // Fills path and params from target.
    void ParseTarget();
    // Adds the fields and files of a URL-encoded or multipart form body.
    void ParseForm();
};

// Percent-decoding; plusIsSpace for query and form fields.
std::string DecodeUrl(std::string_view text, bool plusIsSpace);
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// The text of rest up to the first separator, or all of it; rest goes on after that separator.
std::string_view NextPiece(std::string_view& rest, std::string_view separator);
