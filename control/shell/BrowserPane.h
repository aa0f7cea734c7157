#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QFrame>
#include <QUrl>

#include "NavigationHistory.h"

class CPageToolbar;
class ITabPageOwner;
class QPrinter;
class QWebEngineLoadingInfo;
class QWebEngineView;

// The browser pane of a tab page with its navigation: the browser's loads drive the
// toolbar's Back, Forward, Stop and Refresh, the busy animation and one busy cursor of the
// page's owner, and the page's history count.
//
// The web engine is the costliest thing a page holds, so the browser itself is made only
// once the pane has been painted, and then after that paint has gone to the screen: a
// window full of pages shows at once, and a tab never shown costs no browser. A navigation
// asked for before then waits in the pane and starts as soon as the browser exists.
class CBrowserPane : public QFrame
{
public:
    CBrowserPane(ITabPageOwner& owner, CPageToolbar& toolbar, QWidget* parent);
    ~CBrowserPane() override;

    // Called once the browser exists, before a waiting navigation goes to it: the page
    // connects to the browser there.
    void OnViewCreated(std::function<void()> created) { m_created = std::move(created); }

    // Follows the browser's events from now on; nothing before the browser exists.
    void Connect();

    // False for a text that is no URL.
    static bool IsUrl(const std::string& url);
    // Navigates the browser, or keeps the URL until the browser exists; false for a text
    // that is no URL.
    bool Navigate(const std::string& url);
    bool HasWaitingNavigation() const { return !m_waiting.isEmpty(); }
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
    // The browser, made now if it was not yet.
    QWebEngineView* GetView();
    bool HasView() const { return m_view != nullptr; }

    // Whether the browsers draw through OpenGL: only when the user chose a Qt Quick
    // backend other than software (QT_QUICK_BACKEND); otherwise they draw in software.
    static bool DrawsThroughOpenGL();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void CreateView();
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnUrlChanged(const QUrl& url);
    void UpdateHistory(const std::string& url);
    void EndNavigation();

    ITabPageOwner& m_owner;
    CPageToolbar& m_toolbar;
    QWebEngineView* m_view = nullptr;
    std::function<void()> m_created;
    QUrl m_waiting;
    bool m_creationQueued = false;
    std::unique_ptr<QPrinter> m_printer;
    CNavigationHistory m_history;
    bool m_navigating = false;
};
