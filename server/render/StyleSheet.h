#pragma once

struct _xsltStylesheet;

// A compiled style sheet; libxslt allows one to serve many transformations at once.
class CStyleSheet
{
public:
    explicit CStyleSheet(_xsltStylesheet* sheet) : m_sheet(sheet) {}
    ~CStyleSheet();
    CStyleSheet(const CStyleSheet&) = delete;
    CStyleSheet& operator=(const CStyleSheet&) = delete;

    _xsltStylesheet* Raw() const { return m_sheet; }

private:
    _xsltStylesheet* m_sheet;
};
