#pragma once

#include "PageHandler.h"

class CLookupDatabase;

// The Testing tab's upload page: a form that takes a JAR, lists the classes it holds and
// the catalogued components they belong to.
class CTestingPages
{
public:
    CTestingPages(CPageRenderer& renderer, const CLookupDatabase& lookup) : m_renderer(renderer), m_lookup(lookup) {}

    void Register(CHttpRouter& router);

private:
    void Form(const CHttpRequest& request, CHttpResponse& response);
    void Upload(const CHttpRequest& request, CHttpResponse& response);

    CPageRenderer& m_renderer;
    const CLookupDatabase& m_lookup;
};
