#include "StyleSheet.h"

#include <libxslt/xsltInternals.h>

CStyleSheet::~CStyleSheet()
{
    if (m_sheet)
        xsltFreeStylesheet(m_sheet);
}
