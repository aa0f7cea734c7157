#include "TabPage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHelpEvent>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>

#include "BusyAnimation.h"
#include "FlatButton.h"
#include "Messages.h"
#include "PageArtwork.h"
#include "QtMessageTarget.h"
#include "Settings.h"
#include "SplitterBar.h"
#include "TabPageOwner.h"
#include "UserPrompt.h"
#include "XmlAccess.h"

namespace
{
constexpr int kItemRole = Qt::UserRole;
constexpr int kExpandedOnceRole = Qt::UserRole + 1;

// The page's size as its dialog template gives it, in dialog units.
constexpr int kTemplateWidth = 445;
constexpr int kTemplateHeight = 192;

bool IsInside(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor)
{
    for (const QTreeWidgetItem* at = item ? item->parent() : nullptr; at; at = at->parent()) {
        if (at == ancestor)
            return true;
    }
    return false;
}
}  // namespace

CTabPage::CTabPage(ITabPageOwner& owner, IModalRunner& runner, IUserPrompt& prompt, std::string name, int imageStrip,
                   unsigned flags, QWidget* parent)
    : QWidget(parent)
    , m_owner(owner)
    , m_runner(runner)
    , m_prompt(prompt)
    , m_name(std::move(name))
    , m_imageStrip(imageStrip)
    , m_flags(flags)
    , m_units(fontMetrics())
    , m_toolbar(*this, m_units)
    , m_search(runner, (flags & kSearchProgress) != 0)
{
    m_target = std::make_unique<CQtMessageTarget>(
        [this](unsigned message, WPARAM wParam, LPARAM lParam) { OnMessage(message, wParam, lParam); });
    setContextMenuPolicy(Qt::PreventContextMenu);
    CreateTree();
    m_pane = new CBrowserPane(owner, m_toolbar, this);
    m_pane->setGeometry(m_units.Map(125, 17, 318, 173));
    // The browser is connected when it comes to be, which is when the page is first shown.
    m_pane->OnViewCreated([this] { InitBrowser(); });
    m_splitter = new CSplitterBar(this, false);
    m_splitter->OnMoved([this] { m_wantedSplitter = -1; });
    resize(m_units.Map(0, 0, kTemplateWidth, kTemplateHeight).size());
}

CTabPage::~CTabPage()
{
    // Nothing that the children do while they go may reach the half-destroyed page.
    m_tree->disconnect(this);
    m_tree->selectionModel()->disconnect(this);
    delete m_pane;
    m_pane = nullptr;
    delete m_tree;
    m_tree = nullptr;
    m_manager.reset();
    m_items.clear();
}

void CTabPage::CreateTree()
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("tree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setGeometry(m_units.Map(2, 17, 121, 173));
}

void CTabPage::InitDialog()
{
    InitControls();
}

HWND CTabPage::GetWindowHandle() const
{
    return m_target->GetHandle();
}

CTreeItem* CTabPage::ItemOf(const QTreeWidgetItem* treeItem)
{
    if (!treeItem)
        return nullptr;
    return reinterpret_cast<CTreeItem*>(treeItem->data(0, kItemRole).value<quintptr>());
}

void CTabPage::InitControls()
{
    m_toolbar.WatchEnter([this] { PostMessage(GetWindowHandle(), WM_PAGE_SEARCH, 0, 0); });
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelectionChanged(); });
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnItemExpanded(item); });

    const std::array<void (CTabPage::*)(), 10> commands{
        &CTabPage::OnSearchCommand, &CTabPage::OnChat, &CTabPage::OnFeature, &CTabPage::OnBug,
        &CTabPage::OnOptions,       &CTabPage::OnBack, &CTabPage::OnForward, &CTabPage::OnStop,
        &CTabPage::OnRefresh,       &CTabPage::OnPrint,
    };
    for (int id = kSearchId; id <= kPrintId; ++id) {
        auto command = commands[static_cast<size_t>(id - kSearchId)];
        connect(GetButton(id), &QAbstractButton::clicked, this, [this, command] { (this->*command)(); });
    }

    GetAnimation()->Stop();
    LoadButtonImages();
    CreateToolTip();
    InitSearchKinds();
    InitTreeImages();
    RegisterAnchors();
}

void CTabPage::InitSearchKinds() {}

void CTabPage::LoadButtonImages()
{
    m_toolbar.LoadButtonImages();
}

void CTabPage::InitTreeImages()
{
    for (int kind = ITEM_HOME; kind <= ITEM_LEAF; ++kind)
        m_treeIcons[static_cast<size_t>(kind)] = CPageArtwork::TreeIcon(m_imageStrip, kind);
    CreateDataManager();
}

void CTabPage::CreateDataManager()
{
    SetDataManager(std::make_unique<CItemDataManager>());
}

void CTabPage::InitBrowser()
{
    m_pane->Connect();
    // A page that has something to show already needs no empty one first.
    if ((m_flags & kStartBlank) && !m_pane->HasWaitingNavigation())
        Navigate("about:blank");
}

void CTabPage::CreateToolTip()
{
    m_toolTip = QString::fromStdString(m_name);
}

void CTabPage::RegisterAnchors()
{
    m_toolbar.RegisterAnchors(m_anchors, (m_flags & kSearchKinds) != 0);
    m_anchors.Add(m_tree, CResizeAnchors::kStretchBottom);
    m_anchors.Add(m_splitter, CResizeAnchors::kStretchBottom);
    m_anchors.Add(m_pane, CResizeAnchors::kStretchRight | CResizeAnchors::kStretchBottom);
}

// The toolbar from the right edge; tree and browser down to the bottom, the browser to the
// right edge, with the splitter between them.
void CTabPage::LayoutControls()
{
    m_toolbar.Layout((m_flags & kSearchKinds) == 0);
    const QRect tree = m_tree->geometry();
    m_tree->setGeometry(tree.x(), tree.y(), tree.width(), std::max(0, height() - 2 - tree.y()));
    const QRect browser = m_pane->geometry();
    m_pane->setGeometry(browser.x(), browser.y(), std::max(0, width() - 2 - browser.x()),
                        std::max(0, height() - 2 - browser.y()));
    m_splitter->Place(m_tree, m_pane);
}

void CTabPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_layoutPending) {
        m_layoutPending = false;
        LayoutControls();
        m_toolbar.KeepSearchPlaces();
    }
    m_anchors.Resize(width(), height());
    if (m_wantedSplitter >= 0 && m_splitter->MoveTo(m_wantedSplitter))
        m_wantedSplitter = -1;
    m_toolbar.FitSearchBox();
}

int CTabPage::GetSplitterPosition() const
{
    if (m_wantedSplitter >= 0)
        return m_wantedSplitter;
    if (m_layoutPending || m_splitter->isHidden())
        return -1;
    return m_splitter->GetPosition();
}

void CTabPage::SetSplitterPosition(int position)
{
    m_wantedSplitter = position;
    if (!m_layoutPending && position >= 0 && m_splitter->MoveTo(position))
        m_wantedSplitter = -1;
}

void CTabPage::FocusSearchBox()
{
    QLineEdit* edit = GetSearchEdit();
    if (!edit->isVisible())
        return;
    edit->setFocus(Qt::ShortcutFocusReason);
    edit->selectAll();
}

void CTabPage::PressButton(int id)
{
    CFlatButton* button = GetButton(id);
    if (button && button->isVisible() && button->isEnabled())
        button->click();
}

bool CTabPage::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // The page's name shows over the page's own background only.
        const auto* help = static_cast<QHelpEvent*>(event);
        if (!m_toolTip.isEmpty() && !childAt(help->pos()))
            QToolTip::showText(help->globalPos(), m_toolTip, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void CTabPage::OnMessage(unsigned message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_PAGE_SEARCH:
        OnPageSearch();
        break;
    case WM_PAGE_ACTIVATE:
        if (m_neverActivated)
            OnFirstActivate();
        else
            OnActivate();
        break;
    case WM_PAGE_DEACTIVATE:
        OnDeactivate();
        break;
    default:
        break;
    }
}

void CTabPage::OnFirstActivate()
{
    // Cleared first: an activation that arrives while the index downloads only reports.
    m_neverActivated = false;
    if (m_manager && m_manager->UpdateIndex())
        FillTree();
    m_owner.ReportSelection(*this, m_selectionPath);
}

void CTabPage::OnActivate()
{
    m_owner.ReportSelection(*this, m_selectionPath);
}

void CTabPage::OnDeactivate() {}

void CTabPage::FillTree()
{
    AddFixedItems();
    if (m_homeItem)
        m_tree->setCurrentItem(m_homeItem);
    AddRootItems();
}

void CTabPage::AddFixedItems()
{
    m_homeItem = InsertItem(nullptr, std::make_unique<CTreeItem>(ITEM_HOME, "Home"), ITEM_HOME, false);
    m_searchResultsItem =
        InsertItem(nullptr, std::make_unique<CTreeItem>(ITEM_SEARCH, "Search Results"), ITEM_SEARCH, false);
}

// The collection's root listing, each with the group's images and an expand button.
void CTabPage::AddRootItems()
{
    CItemList roots;
    if (!m_manager || !m_manager->ListRootItems(roots))
        return;
    for (std::unique_ptr<CTreeItem>& root : roots.TakeAll())
        InsertItem(nullptr, std::move(root), ITEM_GROUP, true);
}

void CTabPage::RefreshTree()
{
    if (m_neverActivated)
        return;
    ClearSelection();
    m_quietSelection = true;
    m_tree->clear();
    m_quietSelection = false;
    m_homeItem = nullptr;
    m_searchResultsItem = nullptr;
    FillTree();
}

QTreeWidgetItem* CTabPage::InsertItem(QTreeWidgetItem* parent, std::unique_ptr<CTreeItem> item, int imageKind,
                                      bool expandButton)
{
    auto* treeItem = new QTreeWidgetItem;
    treeItem->setText(0, QString::fromStdString(item->GetName()));
    treeItem->setIcon(0, ItemIcon(*item, imageKind));
    treeItem->setData(0, kItemRole, QVariant::fromValue(reinterpret_cast<quintptr>(item.get())));
    treeItem->setChildIndicatorPolicy(expandButton ? QTreeWidgetItem::ShowIndicator
                                                   : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (parent)
        parent->addChild(treeItem);
    else
        m_tree->addTopLevelItem(treeItem);
    m_items.push_back(std::move(item));
    return treeItem;
}

QIcon CTabPage::ItemIcon(const CTreeItem&, int imageKind) const
{
    return imageKind >= ITEM_HOME && imageKind <= ITEM_LEAF ? m_treeIcons[static_cast<size_t>(imageKind)] : QIcon();
}

void CTabPage::InsertListed(QTreeWidgetItem* parent, CItemList& list)
{
    for (std::unique_ptr<CTreeItem>& item : list.TakeAll()) {
        const int kind = item->GetKind();
        const bool expandButton = item->HasChildren();
        InsertItem(parent, std::move(item), kind, expandButton);
    }
}

void CTabPage::OnItemExpanded(QTreeWidgetItem* treeItem)
{
    if (treeItem->data(0, kExpandedOnceRole).toBool())
        return;
    treeItem->setData(0, kExpandedOnceRole, true);
    m_owner.BeginBusy();
    ExpandItem(treeItem);
    // An item that turned out to have no children loses its button.
    if (treeItem->childCount() == 0)
        treeItem->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    m_owner.EndBusy();
}

void CTabPage::ExpandItem(QTreeWidgetItem* treeItem)
{
    if (const CTreeItem* item = ItemOf(treeItem))
        AddChildItems(treeItem, *item);
}

void CTabPage::AddChildItems(QTreeWidgetItem* treeItem, const CTreeItem& item)
{
    CItemList children;
    if (m_manager && m_manager->ListChildItems(item, children))
        InsertListed(treeItem, children);
}

void CTabPage::AddSearchResults(CItemList& list)
{
    if (list.IsEmpty() || !m_searchResultsItem)
        return;
    m_searchResultsItem->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    InsertListed(m_searchResultsItem, list);
    m_tree->expandItem(m_searchResultsItem);
}

void CTabPage::ClearSearchResults()
{
    if (!m_searchResultsItem)
        return;
    m_quietSelection = true;
    // Unselect a result before it goes, so the tree does not pick a neighbour to show;
    // SelectSearchResult then chooses what to show.
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    const bool selectedInside = !selected.isEmpty() && IsInside(selected.first(), m_searchResultsItem);
    if (selectedInside || IsInside(m_tree->currentItem(), m_searchResultsItem))
        m_tree->setCurrentItem(nullptr);
    const QList<QTreeWidgetItem*> results = m_searchResultsItem->takeChildren();
    qDeleteAll(results);
    // No button on an empty "Search Results"; the next hits bring it back.
    m_searchResultsItem->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    m_quietSelection = false;
}

CSearchRunner::CThreadFactory CTabPage::PrepareSearch(const std::string&)
{
    return {};
}

void CTabPage::RunSearch()
{
    const std::string text = m_toolbar.ReadSearchText();
    const CSearchRunner::CThreadFactory search = PrepareSearch(text);
    if (!search)
        return;
    CItemList results;
    // A cancelled search shows nothing.
    if (RunSearchDialog(text, search, results) == IDOK)
        ShowSearchOutcome(results);
    BringToTop();
}

int CTabPage::RunSearchDialog(const std::string& text, const CSearchRunner::CThreadFactory& factory,
                              CItemList& results)
{
    return m_search.Run(text, factory, results);
}

void CTabPage::ShowSearchOutcome(CItemList& results)
{
    if (!results.IsEmpty())
        AddSearchResults(results);
    else
        ShowNoSearchResults(m_prompt);
}

void CTabPage::SelectSearchResult()
{
    m_tree->repaint();
    if (!m_searchResultsItem)
        return;
    QTreeWidgetItem* target =
        m_searchResultsItem->childCount() > 0 ? m_searchResultsItem->child(0) : m_searchResultsItem;
    m_tree->setCurrentItem(target);
    m_tree->scrollToItem(target);
}

void CTabPage::BringToTop()
{
    raise();
}

std::string CTabPage::BuildSelectionPath(const QTreeWidgetItem* treeItem) const
{
    std::string path;
    for (const QTreeWidgetItem* at = treeItem; at; at = at->parent()) {
        const CTreeItem* item = ItemOf(at);
        const std::string name = item ? item->GetName() : at->text(0).toStdString();
        path = at == treeItem ? name : name + "/" + path;
    }
    return path;
}

void CTabPage::OnSelectionChanged()
{
    if (m_quietSelection)
        return;
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    QTreeWidgetItem* treeItem = selected.isEmpty() ? nullptr : selected.first();
    m_owner.BeginBusy();
    m_selectionPath = BuildSelectionPath(treeItem);
    m_owner.ReportSelection(*this, m_selectionPath);
    NavigateToItem(ItemOf(treeItem));
    m_owner.EndBusy();
}

void CTabPage::ClearSelection()
{
    m_tree->setCurrentItem(nullptr);
}

void CTabPage::NavigateToItem(const CTreeItem* item)
{
    std::string url;
    if (!item || !m_manager || !m_manager->GetItemURL(*item, url) || !CBrowserPane::IsUrl(url))
        return;
    m_toolbar.ShowHistory(false, false);
    Navigate(url);
}

void CTabPage::OnPageSearch()
{
    ClearSearchResults();
    RunSearch();
    SelectSearchResult();
}

void CTabPage::OnSearchCommand()
{
    GetButton(kSearchId)->ClearHover();
    OnPageSearch();
}

void CTabPage::OnOptions()
{
    m_owner.OpenOptions();
}

void CTabPage::OnBack()
{
    ClearSelection();
    m_pane->GoBack();
}

void CTabPage::OnForward()
{
    ClearSelection();
    m_pane->GoForward();
}

void CTabPage::OnStop()
{
    GetButton(kStopId)->ClearHover();
    m_pane->Stop();
}

std::string CTabPage::BuildBugReportUrl()
{
    return GetComponentWebServer() + "/vantrel/ui/support.jsp?platform=win&email=" + GetEmail();
}

std::string CTabPage::BuildChatUrl()
{
    return GetComponentWebServer() + "/vantrel/ui/help/list.jsp?clientid=" + GetClientKey() + "&email=" + GetEmail();
}

std::string CTabPage::BuildFeatureUrl()
{
    return GetComponentWebServer() + "/vantrel/ui/request.jsp?email=" + GetEmail();
}

void CTabPage::OnBug()
{
    ClearSelection();
    QDesktopServices::openUrl(QUrl(QString::fromStdString(BuildBugReportUrl()), QUrl::TolerantMode));
}

void CTabPage::OnChat()
{
    ClearSelection();
    Navigate(BuildChatUrl());
}

void CTabPage::OnFeature()
{
    ClearSelection();
    Navigate(BuildFeatureUrl());
}
