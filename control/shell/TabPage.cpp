#include "TabPage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QToolTip>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "BusyAnimation.h"
#include "FlatButton.h"
#include "Messages.h"
#include "ModalDialog.h"
#include "PageArtwork.h"
#include "QtMessageTarget.h"
#include "SeparatorLine.h"
#include "Settings.h"
#include "SplitterBar.h"
#include "TabPageOwner.h"
#include "UserPrompt.h"

namespace
{
constexpr int kItemRole = Qt::UserRole;
constexpr int kExpandedOnceRole = Qt::UserRole + 1;

// The page's size as its dialog template gives it, in dialog units.
constexpr int kTemplateWidth = 445;
constexpr int kTemplateHeight = 192;

struct CButtonSpec
{
    int id;
    const char* text;
    int icon;
    int x;
};

// The toolbar's buttons in control-id order, with their template column.
constexpr std::array<CButtonSpec, 10> kButtonSpecs{{
    {CTabPage::kSearchId, "Search", CPageArtwork::kIconSearch, 242},
    {CTabPage::kChatId, "Chat", CPageArtwork::kIconChat, 269},
    {CTabPage::kFeatureId, "Feature", CPageArtwork::kIconFeature, 286},
    {CTabPage::kBugId, "Bug", CPageArtwork::kIconBug, 302},
    {CTabPage::kOptionsId, "Options", CPageArtwork::kIconOptions, 317},
    {CTabPage::kBackId, "Back", CPageArtwork::kIconBack, 347},
    {CTabPage::kForwardId, "Forward", CPageArtwork::kIconForward, 363},
    {CTabPage::kStopId, "Stop", CPageArtwork::kIconStop, 379},
    {CTabPage::kRefreshId, "Refresh", CPageArtwork::kIconRefresh, 395},
    {CTabPage::kPrintId, "Print", CPageArtwork::kIconPrint, 411},
}};

bool IsEnterKey(const QKeyEvent* key)
{
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat();
}

void MoveRightEdgeTo(QWidget* widget, int right)
{
    widget->move(right - widget->width(), widget->y());
}

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
                   QWidget* parent)
    : QWidget(parent)
    , m_owner(owner)
    , m_runner(runner)
    , m_prompt(prompt)
    , m_name(std::move(name))
    , m_imageStrip(imageStrip)
{
    // Dialog units as Windows derives them from the dialog's font.
    const QFontMetrics metrics = fontMetrics();
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseUnitX = std::max(1, (alphabet / 26 + 1) / 2);
    m_baseUnitY = std::max(1, metrics.height());

    m_target = std::make_unique<CQtMessageTarget>(
        [this](unsigned message, WPARAM wParam, LPARAM lParam) { OnMessage(message, wParam, lParam); });
    setContextMenuPolicy(Qt::PreventContextMenu);
    CreateChildren();
    resize(MapDialogRect(0, 0, kTemplateWidth, kTemplateHeight).size());
}

CTabPage::~CTabPage()
{
    // Nothing that the children do while they go may reach the half-destroyed page.
    if (m_tree) {
        m_tree->disconnect(this);
        m_tree->selectionModel()->disconnect(this);
    }
    if (m_browser) {
        m_browser->page()->disconnect(this);
        m_browser->disconnect(this);
    }
    // The browser goes before the printer it may still be printing to.
    delete m_browserHost;
    m_browserHost = nullptr;
    m_browser = nullptr;
    delete m_tree;
    m_tree = nullptr;
    if (m_navigating) {
        m_navigating = false;
        m_owner.EndBusy();
    }
    m_manager.reset();
    m_items.clear();
}

QRect CTabPage::MapDialogRect(int x, int y, int width, int height) const
{
    auto mapX = [this](int value) { return (value * m_baseUnitX + 2) / 4; };
    auto mapY = [this](int value) { return (value * m_baseUnitY + 4) / 8; };
    return QRect(mapX(x), mapY(y), mapX(width), mapY(height));
}

// The children of the dialog template, in tab order.
void CTabPage::CreateChildren()
{
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("searchKinds"));
    m_combo->setGeometry(MapDialogRect(2, 2, 69, 13));

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("searchText"));
    m_edit->setGeometry(MapDialogRect(73, 2, 165, 13));

    for (size_t i = 0; i < kButtonSpecs.size(); ++i) {
        const CButtonSpec& spec = kButtonSpecs[i];
        auto* button = new CFlatButton(true, false, true, CFlatButton::kIconCentred, this);
        button->setText(QString::fromLatin1(spec.text));
        button->setToolTip(button->text());
        button->setAccessibleName(button->text());
        button->setGeometry(MapDialogRect(spec.x, 2, 14, 14));
        m_buttons[i] = button;
    }
    GetButton(kChatId)->hide();
    GetButton(kFeatureId)->hide();

    m_separator = new CSeparatorLine(this);
    m_separator->setGeometry(MapDialogRect(335, 2, 8, 12));

    m_animation = new CBusyAnimation(this);
    m_animation->setGeometry(MapDialogRect(426, 2, 17, 15));

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
    m_tree->setGeometry(MapDialogRect(2, 17, 121, 173));

    m_browserHost = new QFrame(this);
    m_browserHost->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_browserHost->setGeometry(MapDialogRect(125, 17, 318, 173));
    auto* hostLayout = new QVBoxLayout(m_browserHost);
    hostLayout->setContentsMargins(m_browserHost->frameWidth(), m_browserHost->frameWidth(),
                                   m_browserHost->frameWidth(), m_browserHost->frameWidth());
    m_browser = new QWebEngineView(m_browserHost);
    m_browser->setObjectName(QStringLiteral("browser"));
    hostLayout->addWidget(m_browser);

    m_splitter = new CSplitterBar(this, false);
}

void CTabPage::InitDialog()
{
    InitControls();
}

HWND CTabPage::GetWindowHandle() const
{
    return m_target->GetHandle();
}

CFlatButton* CTabPage::GetButton(int id) const
{
    if (id < kSearchId || id > kPrintId)
        return nullptr;
    return m_buttons[static_cast<size_t>(id - kSearchId)];
}

CTreeItem* CTabPage::ItemOf(const QTreeWidgetItem* treeItem)
{
    if (!treeItem)
        return nullptr;
    return reinterpret_cast<CTreeItem*>(treeItem->data(0, kItemRole).value<quintptr>());
}

void CTabPage::InitControls()
{
    m_edit->installEventFilter(this);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnSelectionChanged(); });
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { OnItemExpanded(item); });

    const std::array<void (CTabPage::*)(), 10> commands{
        &CTabPage::OnSearchCommand, &CTabPage::OnChat, &CTabPage::OnFeature, &CTabPage::OnBug,
        &CTabPage::OnOptions,       &CTabPage::OnBack, &CTabPage::OnForward, &CTabPage::OnStop,
        &CTabPage::OnRefresh,       &CTabPage::OnPrint,
    };
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        auto command = commands[i];
        connect(m_buttons[i], &QAbstractButton::clicked, this, [this, command] { (this->*command)(); });
    }

    m_animation->Stop();
    LoadButtonImages();
    CreateToolTip();
    InitSearchKinds();
    InitTreeImages();
    InitBrowser();
    RegisterAnchors();
}

void CTabPage::InitSearchKinds() {}

void CTabPage::LoadButtonImages()
{
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        QIcon icon = CPageArtwork::LoadIcon(kButtonSpecs[i].icon);
        if (icon.isNull())
            break;
        m_buttons[i]->setIcon(icon);
    }
    for (int id : {kBackId, kForwardId, kStopId, kRefreshId})
        GetButton(id)->setEnabled(false);
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
    QWebEnginePage* page = m_browser->page();
    connect(page, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { OnLoadingChanged(info); });
    connect(m_browser, &QWebEngineView::urlChanged, this, [this](const QUrl& url) { OnUrlChanged(url); });
    // A page's own print request prints as the Print button does.
    connect(m_browser, &QWebEngineView::printRequested, this, [this] { OnPrint(); });
    connect(m_browser, &QWebEngineView::printFinished, this, [this](bool) { m_printer.reset(); });
}

void CTabPage::CreateToolTip()
{
    m_toolTip = QString::fromStdString(m_name);
}

void CTabPage::RegisterToolbarAnchors(bool withCombo)
{
    if (withCombo)
        m_anchors.Add(m_combo, 0);
    m_anchors.Add(m_edit, 0);
    m_anchors.Add(GetButton(kSearchId), 0);
    for (int id = kChatId; id <= kOptionsId; ++id)
        m_anchors.Add(GetButton(id), CResizeAnchors::kFollowRight);
    m_anchors.Add(m_separator, CResizeAnchors::kFollowRight);
    for (int id = kBackId; id <= kPrintId; ++id)
        m_anchors.Add(GetButton(id), CResizeAnchors::kFollowRight);
    m_anchors.Add(m_animation, CResizeAnchors::kFollowRight);
    m_anchors.Add(m_tree, CResizeAnchors::kStretchBottom);
    m_anchors.Add(m_splitter, CResizeAnchors::kStretchBottom);
    m_anchors.Add(m_browserHost, CResizeAnchors::kStretchRight | CResizeAnchors::kStretchBottom);
}

void CTabPage::LayoutToolbar(bool hideCombo)
{
    const int width = this->width();
    const int height = this->height();
    MoveRightEdgeTo(m_animation, width - 2);
    int right = m_animation->x() - 2;
    for (int id : {kPrintId, kRefreshId, kStopId, kForwardId, kBackId}) {
        MoveRightEdgeTo(GetButton(id), right);
        right = GetButton(id)->x() - 2;
    }
    m_separator->setGeometry(GetButton(kBackId)->x() - 4, m_separator->y(), 2, m_separator->height());
    right = m_separator->x() - 2;
    for (int id : {kOptionsId, kBugId, kFeatureId, kChatId}) {
        MoveRightEdgeTo(GetButton(id), right);
        right = GetButton(id)->x() - 2;
    }

    const QRect tree = m_tree->geometry();
    m_tree->setGeometry(tree.x(), tree.y(), tree.width(), std::max(0, height - 2 - tree.y()));
    const QRect browser = m_browserHost->geometry();
    m_browserHost->setGeometry(browser.x(), browser.y(), std::max(0, width - 2 - browser.x()),
                               std::max(0, height - 2 - browser.y()));
    m_splitter->Place(m_tree, m_browserHost);

    if (hideCombo) {
        m_combo->hide();
        const QRect edit = m_edit->geometry();
        m_edit->setGeometry(2, edit.y(), edit.x() + edit.width() - 2, edit.height());
    }
}

void CTabPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_layoutPending) {
        m_layoutPending = false;
        LayoutControls();
        m_editLaidOut = m_edit->geometry();
        m_searchLaidOut = GetButton(kSearchId)->geometry();
    }
    m_anchors.Resize(width(), height());
    FitSearchBox();
}

// The buttons on the right follow the page's right edge; in a page narrower than its
// template they would slide over the search box and the Search button.
void CTabPage::FitSearchBox()
{
    if (m_layoutPending)
        return;
    int limit = width();
    for (int id = kChatId; id <= kOptionsId; ++id) {
        if (GetButton(id)->isVisibleTo(this))
            limit = std::min(limit, GetButton(id)->x());
    }
    QRect edit = m_editLaidOut;
    QRect search = m_searchLaidOut;
    const int overflow = search.x() + search.width() + 4 - limit;
    if (overflow > 0) {
        const int shrink = std::min(overflow, std::max(0, edit.width() - MapDialogRect(0, 0, 40, 0).width()));
        edit.setWidth(edit.width() - shrink);
        search.translate(-shrink, 0);
    }
    m_edit->setGeometry(edit);
    GetButton(kSearchId)->setGeometry(search);
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

bool CTabPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit) {
        // A search starts when Enter is let go in the box; an Enter pressed elsewhere (on
        // the message box that a search showed) and let go here starts none.
        if (event->type() == QEvent::KeyPress && IsEnterKey(static_cast<QKeyEvent*>(event))) {
            m_enterDown = true;
        } else if (event->type() == QEvent::KeyRelease && IsEnterKey(static_cast<QKeyEvent*>(event))) {
            if (m_enterDown)
                PostMessage(GetWindowHandle(), WM_PAGE_SEARCH, 0, 0);
            m_enterDown = false;
        } else if (event->type() == QEvent::FocusOut) {
            m_enterDown = false;
        }
    }
    return QWidget::eventFilter(watched, event);
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

void CTabPage::AddRootItems() {}

void CTabPage::InsertRootGroups(CItemList& groups)
{
    for (std::unique_ptr<CTreeItem>& group : groups.TakeAll())
        InsertItem(nullptr, std::move(group), ITEM_GROUP, true);
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
    if (imageKind >= ITEM_HOME && imageKind <= ITEM_LEAF)
        treeItem->setIcon(0, m_treeIcons[static_cast<size_t>(imageKind)]);
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

void CTabPage::ExpandItem(QTreeWidgetItem*) {}

void CTabPage::AddChildItems(QTreeWidgetItem* treeItem, const CTreeItem& item)
{
    CItemList children;
    if (!m_manager || !m_manager->ListChildItems(item, children))
        return;
    for (std::unique_ptr<CTreeItem>& child : children.TakeAll()) {
        const int kind = child->GetKind();
        const bool expandButton = child->HasChildren();
        InsertItem(treeItem, std::move(child), kind, expandButton);
    }
}

void CTabPage::AddSearchResults(CItemList& list)
{
    if (list.IsEmpty() || !m_searchResultsItem)
        return;
    m_searchResultsItem->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    for (std::unique_ptr<CTreeItem>& result : list.TakeAll()) {
        const int kind = result->GetKind();
        const bool expandButton = result->HasChildren();
        InsertItem(m_searchResultsItem, std::move(result), kind, expandButton);
    }
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

void CTabPage::RunSearch() {}

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

int CTabPage::RunSearchDialog(const std::string& text, CSearchProgressDlg::CStartStep startStep,
                              bool showProgressBar)
{
    CSearchProgressDlg dialog(text, std::move(startStep), showProgressBar);
    const int result = m_runner.RunModal(dialog);
    // The results are read only once the search's thread has finished.
    dialog.EndSearch();
    return result;
}

std::string CTabPage::ReadSearchText() const
{
    QString text = m_edit->text();
    if (text.size() > kMaxSearchText) {
        text.truncate(kMaxSearchText);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text.toStdString();
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
    if (!item || !m_manager)
        return;
    std::string url;
    if (!m_manager->GetItemURL(*item, url))
        return;
    if (!QUrl(QString::fromStdString(url), QUrl::TolerantMode).isValid())
        return;
    GetButton(kBackId)->setEnabled(false);
    GetButton(kForwardId)->setEnabled(false);
    Navigate(url);
}

bool CTabPage::Navigate(const std::string& url)
{
    // Characters that cannot stand in a URL are percent-encoded, as a browser does.
    const QUrl target(QString::fromStdString(url), QUrl::TolerantMode);
    if (!target.isValid())
        return false;
    m_browser->setUrl(target);
    return true;
}

void CTabPage::OnLoadingChanged(const QWebEngineLoadingInfo& info)
{
    const std::string url = info.url().toString().toStdString();
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        BeforeNavigate();
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // A failed load still shows its error page, which has its place in the history.
        NavigateComplete(url);
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        // Stopped before the page was shown, it left no trace in the history.
        if (m_browser->history()->currentItem().url() == info.url())
            NavigateComplete(url);
        else
            EndNavigation();
        break;
    }
}

void CTabPage::OnUrlChanged(const QUrl& url)
{
    // A move within the shown document (an anchor) is a navigation without a load; the
    // start of a real load does not yet show in the history, and is counted when it ends.
    if (m_browser->history()->currentItem().url() == url)
        UpdateHistory(url.toString().toStdString());
}

void CTabPage::BeforeNavigate()
{
    GetButton(kStopId)->setEnabled(true);
    GetButton(kRefreshId)->setEnabled(false);
    m_animation->Play();
    // One busy cursor per page, however many loads overlap.
    if (!m_navigating) {
        m_navigating = true;
        m_owner.BeginBusy();
    }
}

void CTabPage::NavigateComplete(const std::string& url)
{
    UpdateHistory(url);
    EndNavigation();
}

void CTabPage::UpdateHistory(const std::string& url)
{
    if (m_goingBack) {
        --m_historyPosition;
        m_goingBack = false;
    } else if (m_goingForward) {
        ++m_historyPosition;
        m_goingForward = false;
    } else if (url != m_lastUrl) {
        ++m_historyPosition;
        m_historyEnd = m_historyPosition;
    }
    m_lastUrl = url;
    UpdateHistoryButtons();
}

void CTabPage::UpdateHistoryButtons()
{
    GetButton(kBackId)->setEnabled(m_historyPosition > 0);
    GetButton(kForwardId)->setEnabled(m_historyPosition < m_historyEnd);
}

void CTabPage::EndNavigation()
{
    GetButton(kStopId)->setEnabled(false);
    GetButton(kRefreshId)->setEnabled(true);
    m_animation->Stop();
    // Selecting an item disabled Back and Forward; a load that never completed must not
    // leave them so.
    UpdateHistoryButtons();
    if (m_navigating) {
        m_navigating = false;
        m_owner.EndBusy();
    }
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
    // Without a page to go back to the browser would not move, and the flag would
    // miscount the next navigation.
    if (!m_browser->history()->canGoBack())
        return;
    m_goingBack = true;
    m_browser->back();
}

void CTabPage::OnForward()
{
    ClearSelection();
    if (!m_browser->history()->canGoForward())
        return;
    m_goingForward = true;
    m_browser->forward();
}

void CTabPage::OnStop()
{
    GetButton(kStopId)->ClearHover();
    m_browser->stop();
    GetButton(kStopId)->setEnabled(false);
    GetButton(kRefreshId)->setEnabled(true);
    m_animation->Stop();
}

void CTabPage::OnRefresh()
{
    m_browser->reload();
}

void CTabPage::OnPrint()
{
    // One print at a time: the printer must stay until the browser has finished with it.
    if (m_printer)
        return;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer = std::move(printer);
    m_browser->print(m_printer.get());
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
