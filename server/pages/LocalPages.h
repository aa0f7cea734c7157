#pragma once

#include "PageHandler.h"

class CCatalogueClasses;
class CCatalogueSearch;

// The Local tab's pages: home, search, a category and a subcategory's product list, from
// the component catalogue (the client's own index stays on the client); a component's
// classes for the tree, and the page of a class that has no API page on the machine.
class CLocalPages
{
public:
    CLocalPages(CPageRenderer& renderer, CCatalogueSearch& search, CCatalogueClasses& classes)
        : m_renderer(renderer), m_search(search), m_classes(classes)
    {
    }

    void Register(CHttpRouter& router);

private:
    void ClassPage(const CHttpRequest& request, CHttpResponse& response);

    CPageRenderer& m_renderer;
    CCatalogueSearch& m_search;
    CCatalogueClasses& m_classes;
};
