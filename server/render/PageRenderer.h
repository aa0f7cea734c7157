#pragma once

#include <string>

#include "Transformer.h"

struct CHttpRequest;
struct CHttpResponse;
struct _xmlDoc;
class CSite;
class CXmlCache;
class CStyleSheetCache;

// Turns site data into answers: a site document or a generated one, through a style sheet
// of the site, into the response; and the error pages.
class CPageRenderer
{
public:
    CPageRenderer(const CSite& site, CXmlCache& documents, CStyleSheetCache& sheets);

    // sheet and document are relative to the site root.
    bool RenderSiteDocument(const std::string& sheet, const std::string& document, const CParameterList& parameters,
                            CHttpResponse& response);
    // Sheet path already real (inside the site).
    bool RenderWithSheet(const std::string& sheetPath, _xmlDoc* doc, const CParameterList& parameters,
                         CHttpResponse& response);
    bool Render(const std::string& sheet, _xmlDoc* doc, const CParameterList& parameters, CHttpResponse& response);

    void SendError(CHttpResponse& response, int status, const std::string& message);

    // The request's query parameters, first value of each name, in order.
    static CParameterList QueryParameters(const CHttpRequest& request);

    CXmlCache& Documents() { return m_documents; }
    CStyleSheetCache& Sheets() { return m_sheets; }
    const CSite& Site() const { return m_site; }

private:
    const CSite& m_site;
    CXmlCache& m_documents;
    CStyleSheetCache& m_sheets;
};
