#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QFont>
#include <QObject>
#include <QPointer>

#include "BusyCursor.h"
#include "SpindleCtrlInterface.h"
#include "TabPageOwner.h"

class CQtModalRunner;
class CQtUserPrompt;
class CTabPage;
class CTabStrip;
class IModalRunner;
class IUserPrompt;
class QFrame;
class QWidget;

// The browser control: a tab strip over the whole window with the Java, Local,
// Marketplace and Testing pages. It brings a tab or a Java item to the front on request,
// tells its clients of the visible page's tree selection, keeps the pages' busy cursor and
// runs the Options dialog for them. Lives on the user-interface thread.
class CSpindleCtrl : public QObject, public ISpindleCtrl, public ITabPageOwner
{
public:
    // Tab indexes, in tab order.
    enum : int
    {
        kJavaPage = 0,
        kLocalPage = 1,
        kMarketPage = 2,
        kTestingPage = 3,
        kPageCount = 4,
    };

    // Where the current page sits in the tab control, and the room it leaves around it.
    static constexpr int kPageLeft = 2;
    static constexpr int kPageTop = 22;
    static constexpr int kPageMarginRight = 2;
    static constexpr int kPageMarginBottom = 3;

    // Message boxes and progress dialogs as Qt shows them.
    CSpindleCtrl();
    // Message boxes and progress dialogs through the given runner and prompt.
    CSpindleCtrl(IModalRunner& runner, IUserPrompt& prompt);
    ~CSpindleCtrl() override;
    CSpindleCtrl(const CSpindleCtrl&) = delete;
    CSpindleCtrl& operator=(const CSpindleCtrl&) = delete;

    // ISpindleCtrl
    QWidget* CreateControlWindow(QWidget* parent) override;
    HRESULT ShowTab(const std::string& tabName) override;
    HRESULT ShowJavaItem(const std::string& packageName, const std::string& className,
                         const std::string& methodName) override;
    void Advise(ISpindleCtrlEvents* sink) override;
    void Unadvise(ISpindleCtrlEvents* sink) override;

    // ITabPageOwner
    void BeginBusy() override;
    void EndBusy() override;
    void ReportSelection(CTabPage& page, const std::string& path) override;
    void OpenOptions() override;
    int GetAutomationFlag() const override { return m_automationFlag; }

    // Selects the tab and switches pages, also to the current one; false for an index out
    // of range.
    bool SelectTab(int index);

    int GetCurrentPage() const { return m_currentPage; }
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    // The page at a tab index, or null.
    CTabPage* GetPage(int index) const;
    CTabStrip* GetTabStrip() const;
    // The control's window, while it exists.
    QWidget* GetWindow() const;
    QWidget* GetTabControl() const;
    int GetBusyCount() const { return m_busy.GetDepth(); }

    // Controls alive in the process, for DllCanUnloadNow.
    static int GetInstanceCount();

protected:
    // Constructs the page of a tab index (the control initialises it).
    virtual CTabPage* CreatePage(int index, QWidget* parent);
    IModalRunner& Runner() const { return m_runner; }
    IUserPrompt& Prompt() const { return m_prompt; }

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CreatePages();
    void AddShortcuts();
    // Keeps the tab shown and the splitters in the user's settings.
    void SaveLayout() const;
    void OnTabChanged(int index);
    void SwitchTo(int index);
    void Layout();
    void PlaceCurrentPage();
    // Empties the page's tree and fills it again; a page never activated is left alone.
    void RefreshPage(int index);
    void OnWindowDestroyed();

    std::unique_ptr<CQtModalRunner> m_ownRunner;
    std::unique_ptr<CQtUserPrompt> m_ownPrompt;
    IModalRunner& m_runner;
    IUserPrompt& m_prompt;

    std::vector<QPointer<CTabPage>> m_pages;
    int m_currentPage = 0;
    CBusyCursor m_busy;
    int m_automationFlag = 0;
    QFont m_tabFont;
    QFont m_boldTabFont;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_tabControl;
    QPointer<CTabStrip> m_tabStrip;
    QPointer<QFrame> m_pane;
    bool m_selecting = false;
    std::vector<ISpindleCtrlEvents*> m_sinks;
};
