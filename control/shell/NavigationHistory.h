#pragma once

#include <string>

// The page's own count of its browser's history, which Back and Forward follow: a
// position, the farthest place Forward can reach, and the URL last completed.
class CNavigationHistory
{
public:
    // The next completed navigation is a step back (or forward) in the history.
    void StartBack() { m_goingBack = true; }
    void StartForward() { m_goingForward = true; }
    // A navigation to url has completed. A new place cuts off what lay forward; the same
    // URL again is no new place.
    void Complete(const std::string& url);

    bool CanGoBack() const { return m_position > 0; }
    bool CanGoForward() const { return m_position < m_end; }
    int GetPosition() const { return m_position; }
    int GetEnd() const { return m_end; }
    const std::string& GetLastUrl() const { return m_lastUrl; }

private:
    std::string m_lastUrl;
    int m_position = -1;
    int m_end = -1;
    bool m_goingBack = false;
    bool m_goingForward = false;
};
