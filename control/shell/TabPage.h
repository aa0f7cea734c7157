#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>
#include <QWidget>

#include "BrowserPane.h"
#include "DialogUnits.h"
#include "ItemDataManager.h"
#include "ItemList.h"
#include "MessageTarget.h"
#include "PageToolbar.h"
#include "ResizeAnchors.h"
#include "SearchRunner.h"
#include "TreeItem.h"

class CBusyAnimation;
class CFlatButton;
class CQtMessageTarget;
class CSeparatorLine;
class CSplitterBar;
class IModalRunner;
class ITabPageOwner;
class IUserPrompt;
class QComboBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineView;

// One tab's page: the collection's tree on the left, a browser pane on the right, the
// splitter between them and the toolbar above. Selecting an item shows its page;
// expanding an item lists its children once; a search runs behind the modal "Searching..."
// dialog and puts its hits under "Search Results". The collection itself is the data
// manager's business; a variant creates its manager and its search.
class CTabPage : public QWidget
{
public:
    using enum CPageToolbar::ControlId;

    // What a variant's toolbar and browser have, given at construction.
    enum Flags : unsigned
    {
        kSearchKinds = 1,  // the combo box of search kinds stands left of the search box
        kSearchProgress = 2,  // the search dialog shows the search's progress bar
        kStartBlank = 4,  // the browser shows an empty page until the first selection
    };

    CTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, std::string name, int imageStrip,
             unsigned flags, QWidget* parent = nullptr);
    ~CTabPage() override;

    // The page's initialisation: creates the data manager and sets up the toolbar. Call
    // once, right after construction. The browser is made and connected (InitBrowser) when
    // the page is first painted, or at the first GetBrowser.
    void InitDialog();

    // WM_PAGE_SEARCH, WM_PAGE_ACTIVATE and WM_PAGE_DEACTIVATE are posted here.
    HWND GetWindowHandle() const;

    const std::string& GetName() const { return m_name; }
    const std::string& GetSelectionPath() const { return m_selectionPath; }
    const std::string& GetLastUrl() const { return m_pane->GetHistory().GetLastUrl(); }
    int GetHistoryPosition() const { return m_pane->GetHistory().GetPosition(); }
    int GetHistoryEnd() const { return m_pane->GetHistory().GetEnd(); }
    bool IsNeverActivated() const { return m_neverActivated; }
    CItemDataManager* GetDataManager() const { return m_manager.get(); }
    // How many tree item records the page holds (it frees them only when it goes).
    size_t GetRecordCount() const { return m_items.size(); }

    // The browser's navigation events, as the pane follows them.
    void BeforeNavigate() { m_pane->BeforeNavigate(); }
    void NavigateComplete(const std::string& url) { m_pane->NavigateComplete(url); }

    // Toolbar commands.
    void OnSearchCommand();
    void OnOptions();
    void OnBack();
    void OnForward();
    void OnStop();
    void OnRefresh() { m_pane->Refresh(); }
    void OnPrint() { m_pane->Print(); }
    void OnBug();
    void OnChat();
    void OnFeature();

    // Empties the tree and fills it again, for a page that was activated before.
    void RefreshTree();

    // The splitter's place in the page's pixels, as the user left it: -1 for a page never
    // laid out or without a splitter. A place set before the page is laid out, or that the
    // page is too small for, is taken up as soon as the page is large enough, unless the
    // user moves the bar first.
    int GetSplitterPosition() const;
    void SetSplitterPosition(int position);

    // The keyboard's ways to the toolbar: the cursor into the search box, and a button
    // pressed as a click would, when it is shown and enabled.
    void FocusSearchBox();
    void PressButton(int id);

    // Support pages built from the settings (values appended as stored).
    static std::string BuildBugReportUrl();
    static std::string BuildChatUrl();
    static std::string BuildFeatureUrl();

    QTreeWidget* GetTree() const { return m_tree; }
    QTreeWidgetItem* GetHomeItem() const { return m_homeItem; }
    QTreeWidgetItem* GetSearchResultsItem() const { return m_searchResultsItem; }
    QComboBox* GetSearchKinds() const { return m_toolbar.GetSearchKinds(); }
    QLineEdit* GetSearchEdit() const { return m_toolbar.GetSearchEdit(); }
    // The browser, made now if the page was never shown.
    QWebEngineView* GetBrowser() const { return m_pane->GetView(); }
    bool HasBrowser() const { return m_pane->HasView(); }
    QFrame* GetBrowserHost() const { return m_pane; }
    CSplitterBar* GetSplitter() const { return m_splitter; }
    CSeparatorLine* GetSeparator() const { return m_toolbar.GetSeparator(); }
    CBusyAnimation* GetAnimation() const { return m_toolbar.GetAnimation(); }
    // The button with control id 306 to 315, else null.
    CFlatButton* GetButton(int id) const { return m_toolbar.GetButton(id); }

    // The record a tree item shows, or null.
    static CTreeItem* ItemOf(const QTreeWidgetItem* treeItem);

protected:
    virtual void InitSearchKinds();
    virtual void LoadButtonImages();
    virtual void InitTreeImages();
    virtual void CreateDataManager();
    virtual void InitBrowser();
    virtual void CreateToolTip();
    virtual void RegisterAnchors();
    virtual void NavigateToItem(const CTreeItem* item);
    virtual void InitControls();
    virtual void LayoutControls();
    virtual void ClearSearchResults();
    virtual void RunSearch();
    virtual void SelectSearchResult();
    virtual void FillTree();
    virtual void AddRootItems();
    virtual void AddFixedItems();
    virtual void ExpandItem(QTreeWidgetItem* treeItem);
    virtual void OnFirstActivate();
    virtual void OnActivate();
    virtual void OnDeactivate();
    virtual void AddChildItems(QTreeWidgetItem* treeItem, const CTreeItem& item);
    virtual void AddSearchResults(CItemList& list);
    // The icon of an item shown with the images of imageKind; a collection may mark some.
    virtual QIcon ItemIcon(const CTreeItem& item, int imageKind) const;
    // The variant's search for the box's text; none (the base) runs no search.
    virtual CSearchRunner::CThreadFactory PrepareSearch(const std::string& text);

    ITabPageOwner& Owner() const { return m_owner; }
    IModalRunner& Runner() const { return m_runner; }
    IUserPrompt& Prompt() const { return m_prompt; }
    // Keeps the page's data manager; answers it in its own type.
    template <class TManager>
    TManager& SetDataManager(std::unique_ptr<TManager> manager)
    {
        TManager& kept = *manager;
        m_manager = std::move(manager);
        return kept;
    }

    // Runs the search dialog and waits for its search; the dialog's end code.
    int RunSearchDialog(const std::string& text, const CSearchRunner::CThreadFactory& factory, CItemList& results);
    // The hits under "Search Results", or the message that there are none.
    void ShowSearchOutcome(CItemList& results);
    void BringToTop();
    // Navigates the browser; false for a text that is no URL.
    bool Navigate(const std::string& url) { return m_pane->Navigate(url); }

    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateTree();
    void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam);
    void OnPageSearch();
    void OnSelectionChanged();
    void OnItemExpanded(QTreeWidgetItem* treeItem);
    // Inserts a record at the end under parent (the root when null) and keeps it. The
    // image is that of imageKind; the expand button shows when expandButton is true.
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, std::unique_ptr<CTreeItem> item, int imageKind,
                                bool expandButton);
    // Inserts listed records under parent, each with its own kind's image and button.
    void InsertListed(QTreeWidgetItem* parent, CItemList& list);
    std::string BuildSelectionPath(const QTreeWidgetItem* treeItem) const;
    // Clears the tree selection, which reports an empty path.
    void ClearSelection();

    ITabPageOwner& m_owner;
    IModalRunner& m_runner;
    IUserPrompt& m_prompt;
    std::string m_name;
    int m_imageStrip;
    unsigned m_flags;
    CDialogUnits m_units;
    CPageToolbar m_toolbar;
    CSearchRunner m_search;
    std::unique_ptr<CItemDataManager> m_manager;
    std::vector<std::unique_ptr<CTreeItem>> m_items;
    std::array<QIcon, 6> m_treeIcons;

    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_homeItem = nullptr;
    QTreeWidgetItem* m_searchResultsItem = nullptr;
    CBrowserPane* m_pane = nullptr;
    CSplitterBar* m_splitter = nullptr;

    std::string m_selectionPath;
    bool m_layoutPending = true;
    int m_wantedSplitter = -1;
    bool m_neverActivated = true;
    bool m_quietSelection = false;
    QString m_toolTip;
    CResizeAnchors m_anchors;
    std::unique_ptr<CQtMessageTarget> m_target;
};
