#pragma once

#include <string>
#include <utility>
#include <vector>

struct _xmlDoc;
struct _xsltStylesheet;
class CStyleSheet;

struct CTransformResult
{
    bool ok = false;
    std::string body;
    std::string mediaType;  // from the sheet's xsl:output, with charset
    std::string error;
};

using CParameterList = std::vector<std::pair<std::string, std::string>>;

// libxslt, set up once for the process: style sheets and the documents they read may only
// come from the registered site directories, and nothing may be written or fetched from
// the network.
class CTransformer
{
public:
    // Registers a site directory (a real path) whose files sheets may read.
    static void AllowReadsBelow(const std::string& root);
    static void ForgetReadsBelow(const std::string& root);

    static _xsltStylesheet* CompileFile(const std::string& path, std::string& error);

    // Applies sheet to doc; parameters are passed as strings, never as expressions.
    static CTransformResult Apply(const CStyleSheet& sheet, _xmlDoc* doc, const CParameterList& parameters);

    // Parameter names a sheet can declare (an XML name without a prefix).
    static bool IsParameterName(const std::string& name);

private:
    static void Init();
};
