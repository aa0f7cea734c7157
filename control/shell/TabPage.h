#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>
#include <QWidget>

#include "ItemDataManager.h"
#include "ItemList.h"
#include "MessageTarget.h"
#include "ResizeAnchors.h"
#include "SearchProgressDlg.h"
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
class QFrame;
class QLineEdit;
class QPrinter;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;
class QWebEngineLoadingInfo;
class QWebEngineView;

// One tab's page: the collection's tree on the left, a browser pane on the right, the
// splitter between them and the toolbar above. Selecting an item shows its page;
// expanding an item lists its children once; a search runs behind the modal "Searching..."
// dialog and puts its hits under "Search Results". The collection itself is the data
// manager's business. The variants override the virtual operations below.
class CTabPage : public QWidget
{
public:
    // Control ids of the page's children.
    enum : int
    {
        kTreeId = 301,
        kSplitterId = 302,
        kBrowserId = 303,
        kComboId = 304,
        kEditId = 305,
        kSearchId = 306,
        kChatId = 307,
        kFeatureId = 308,
        kBugId = 309,
        kOptionsId = 310,
        kBackId = 311,
        kForwardId = 312,
        kStopId = 313,
        kRefreshId = 314,
        kPrintId = 315,
        kSeparatorId = 316,
        kAnimationId = 317,
    };

    // Longest search text read from the box.
    static constexpr int kMaxSearchText = 255;

    CTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, std::string name, int imageStrip,
             QWidget* parent = nullptr);
    ~CTabPage() override;

    // The page's initialisation: creates the data manager, connects the browser and sets
    // up the toolbar. Call once, right after construction.
    void InitDialog();

    // WM_PAGE_SEARCH, WM_PAGE_ACTIVATE and WM_PAGE_DEACTIVATE are posted here.
    HWND GetWindowHandle() const;

    const std::string& GetName() const { return m_name; }
    const std::string& GetSelectionPath() const { return m_selectionPath; }
    const std::string& GetLastUrl() const { return m_lastUrl; }
    int GetHistoryPosition() const { return m_historyPosition; }
    int GetHistoryEnd() const { return m_historyEnd; }
    bool IsNeverActivated() const { return m_neverActivated; }
    CItemDataManager* GetDataManager() const { return m_manager.get(); }
    // How many tree item records the page holds (it frees them only when it goes).
    size_t GetRecordCount() const { return m_items.size(); }

    // The browser's navigation events. The page follows its browser by itself; these are
    // public so that the history rules can be driven without a network.
    void BeforeNavigate();
    void NavigateComplete(const std::string& url);

    // Toolbar commands.
    void OnSearchCommand();
    void OnOptions();
    void OnBack();
    void OnForward();
    void OnStop();
    void OnRefresh();
    void OnPrint();
    void OnBug();
    void OnChat();
    void OnFeature();

    // Empties the tree and fills it again, for a page that was activated before.
    void RefreshTree();

    // Support pages built from the settings (values appended as stored).
    static std::string BuildBugReportUrl();
    static std::string BuildChatUrl();
    static std::string BuildFeatureUrl();

    QTreeWidget* GetTree() const { return m_tree; }
    QTreeWidgetItem* GetHomeItem() const { return m_homeItem; }
    QTreeWidgetItem* GetSearchResultsItem() const { return m_searchResultsItem; }
    QComboBox* GetSearchKinds() const { return m_combo; }
    QLineEdit* GetSearchEdit() const { return m_edit; }
    QWebEngineView* GetBrowser() const { return m_browser; }
    QFrame* GetBrowserHost() const { return m_browserHost; }
    CSplitterBar* GetSplitter() const { return m_splitter; }
    CSeparatorLine* GetSeparator() const { return m_separator; }
    CBusyAnimation* GetAnimation() const { return m_animation; }
    // The button with control id 306 to 315, else null.
    CFlatButton* GetButton(int id) const;

    // The record a tree item shows, or null.
    static CTreeItem* ItemOf(const QTreeWidgetItem* treeItem);

protected:
    virtual void InitSearchKinds();
    virtual void LoadButtonImages();
    virtual void InitTreeImages();
    virtual void CreateDataManager();
    virtual void InitBrowser();
    virtual void CreateToolTip();
    virtual void RegisterAnchors() = 0;
    virtual void NavigateToItem(const CTreeItem* item);
    virtual void InitControls();
    virtual void LayoutControls() = 0;
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

    ITabPageOwner& Owner() const { return m_owner; }
    IModalRunner& Runner() const { return m_runner; }
    IUserPrompt& Prompt() const { return m_prompt; }
    void SetDataManager(std::unique_ptr<CItemDataManager> manager) { m_manager = std::move(manager); }

    // Inserts a record at the end under parent (the root when null) and keeps it. The
    // image is that of imageKind; the expand button shows when expandButton is true.
    QTreeWidgetItem* InsertItem(QTreeWidgetItem* parent, std::unique_ptr<CTreeItem> item, int imageKind,
                                bool expandButton);
    // Inserts a collection's root listing (kind-3 records) at the end of the root.
    void InsertRootGroups(CItemList& groups);
    // Runs the search progress dialog and waits for its search; the dialog's end code.
    int RunSearchDialog(const std::string& text, CSearchProgressDlg::CStartStep startStep, bool showProgressBar);
    // The search box's text, at most kMaxSearchText characters.
    std::string ReadSearchText() const;
    void BringToTop();
    // Navigates the browser; false for a text that is no URL.
    bool Navigate(const std::string& url);

    // The layout and anchors shared by the collection pages.
    void LayoutToolbar(bool hideCombo);
    void RegisterToolbarAnchors(bool withCombo);
    // A rectangle in dialog units of the page's font, in pixels.
    QRect MapDialogRect(int x, int y, int width, int height) const;

    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateChildren();
    void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam);
    void OnPageSearch();
    void OnSelectionChanged();
    void OnItemExpanded(QTreeWidgetItem* treeItem);
    void OnLoadingChanged(const QWebEngineLoadingInfo& info);
    void OnUrlChanged(const QUrl& url);
    void UpdateHistory(const std::string& url);
    void EndNavigation();
    void UpdateHistoryButtons();
    // Narrows the search box when the buttons on the right would cover it.
    void FitSearchBox();
    std::string BuildSelectionPath(const QTreeWidgetItem* treeItem) const;
    // Clears the tree selection, which reports an empty path.
    void ClearSelection();

    ITabPageOwner& m_owner;
    IModalRunner& m_runner;
    IUserPrompt& m_prompt;
    std::string m_name;
    int m_imageStrip;
    std::unique_ptr<CItemDataManager> m_manager;
    std::vector<std::unique_ptr<CTreeItem>> m_items;
    std::array<QIcon, 6> m_treeIcons;

    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_homeItem = nullptr;
    QTreeWidgetItem* m_searchResultsItem = nullptr;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_edit = nullptr;
    std::array<CFlatButton*, 10> m_buttons{};
    CSeparatorLine* m_separator = nullptr;
    CBusyAnimation* m_animation = nullptr;
    QFrame* m_browserHost = nullptr;
    QWebEngineView* m_browser = nullptr;
    CSplitterBar* m_splitter = nullptr;
    std::unique_ptr<QPrinter> m_printer;

    std::string m_selectionPath;
    std::string m_lastUrl;
    int m_historyPosition = -1;
    int m_historyEnd = -1;
    bool m_goingBack = false;
    bool m_goingForward = false;
    bool m_layoutPending = true;
    bool m_neverActivated = true;
    bool m_navigating = false;
    bool m_quietSelection = false;
    bool m_enterDown = false;
    QString m_toolTip;
    CResizeAnchors m_anchors;
    QRect m_editLaidOut;
    QRect m_searchLaidOut;
    int m_baseUnitX = 6;
    int m_baseUnitY = 13;
    std::unique_ptr<CQtMessageTarget> m_target;
};
