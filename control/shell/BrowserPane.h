#pragma once

#include <memory>
#include <string>

#include <QFrame>

#include "NavigationHistory.h"

class CPageToolbar;
class ITabPageOwner;
class QPrinter;
class QUrl;
class QWebEngineLoadingInfo;
class QWebEngineView;

// The browser pane of a tab page with its navigation: the browser's loads drive the
// toolbar's Back, Forward, Stop and Refresh, the busy animation and one busy cursor of the
// page's owner, and the page's history count.
class CBrowserPane : public QFrame
{
public:
    CBrowserPane(ITabPageOwner& owner, CPageToolbar& toolbar, QWidget* parent);
    ~CBrowserPane() override;

    // Follows the browser's events from now on.
    void Connect();

    // False for a text that is no URL.
    static bool IsUrl(const std::string& url);
    // Navigates the browser; false for a text that is no URL.
    bool Navigate(const std::string& url);
    // Back and Forward move only when the browser has a page there.
    void GoBack();
    void GoForward();
    void Stop();
    void Refresh();
    // Asks for a printer and prints the shown page; one print at a time.
    void Print();

    // The browser's navigation events; public so that the history rules can be driven
    // without a network.
    void BeforeNavigate();
    void NavigateComplete(const std::string& url);

    const CNavigationHistory& GetHistory() const { return m_history; }
    QWebEngineView* GetView() const { return m_view; }

private:
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnUrlChanged(const QUrl& url);
    void UpdateHistory(const std::string& url);
    void EndNavigation();

    ITabPageOwner& m_owner;
    CPageToolbar& m_toolbar;
    QWebEngineView* m_view = nullptr;
    std::unique_ptr<QPrinter> m_printer;
    CNavigationHistory m_history;
    bool m_navigating = false;
};
