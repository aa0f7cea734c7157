#pragma once

class CHttpRouter;
class CPageRenderer;

// The Local tab's pages: home, search, a category and a subcategory's product list, from
// the component catalogue (the client's own index stays on the client).
class CLocalPages
{
public:
    explicit CLocalPages(CPageRenderer& renderer) : m_renderer(renderer) {}

    void Register(CHttpRouter& router);

private:
    CPageRenderer& m_renderer;
};
