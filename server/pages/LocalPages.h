#pragma once

#include "PageHandler.h"

class CCatalogueSearch;

// The Local tab's pages: home, search, a category and a subcategory's product list, from
// the component catalogue (the client's own index stays on the client).
class CLocalPages
{
public:
    CLocalPages(CPageRenderer& renderer, CCatalogueSearch& search) : m_renderer(renderer), m_search(search) {}

    void Register(CHttpRouter& router);

private:
    CPageRenderer& m_renderer;
    CCatalogueSearch& m_search;
};
