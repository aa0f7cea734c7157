#include "NavigationHistory.h"

void CNavigationHistory::Complete(const std::string& url)
{
    if (m_goingBack) {
        --m_position;
        m_goingBack = false;
    } else if (m_goingForward) {
        ++m_position;
        m_goingForward = false;
    } else if (url != m_lastUrl) {
        ++m_position;
        m_end = m_position;
    }
    m_lastUrl = url;
}
