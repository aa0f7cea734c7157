#include "SpindleCtrl.h"

#include <algorithm>
#include <atomic>

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeySequence>
#include <QWidget>

#include "JavaTabPage.h"
#include "LocalTabPage.h"
#include "MarketTabPage.h"
#include "Messages.h"
#include "OptionsDlg.h"
#include "QtModalRunner.h"
#include "QtUserPrompt.h"
#include "Settings.h"
#include "TabStrip.h"
#include "TestingTabPage.h"

namespace
{
std::atomic<int> g_instances{0};
}  // namespace

CSpindleCtrl::CSpindleCtrl()
    : m_ownRunner(std::make_unique<CQtModalRunner>())
    , m_ownPrompt(std::make_unique<CQtUserPrompt>())
    , m_runner(*m_ownRunner)
    , m_prompt(*m_ownPrompt)
{
    ++g_instances;
}

CSpindleCtrl::CSpindleCtrl(IModalRunner& runner, IUserPrompt& prompt)
    : m_runner(runner)
    , m_prompt(prompt)
{
    ++g_instances;
}

CSpindleCtrl::~CSpindleCtrl()
{
    if (m_window) {
        m_window->removeEventFilter(this);
        m_window->disconnect(this);
    }
    if (m_tabStrip)
        m_tabStrip->disconnect(this);
    // The pages go in tab order, while the window that holds them still stands.
    for (QPointer<CTabPage>& page : m_pages)
        delete page.data();
    m_pages.clear();
    m_sinks.clear();
    delete m_window.data();
    --g_instances;
}

int CSpindleCtrl::GetInstanceCount()
{
    return g_instances.load();
}

QWidget* CSpindleCtrl::CreateControlWindow(QWidget* parent)
{
    if (m_window)
        return m_window;
    m_pages.clear();
    m_currentPage = 0;

    auto* window = new QWidget(parent);
    window->setObjectName(QStringLiteral("SpindleCtrl"));
    if (parent)
        window->resize(parent->size());
    m_window = window;
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this] { OnWindowDestroyed(); });

    m_tabFont = QApplication::font("QMenu");
    m_boldTabFont = m_tabFont;
    m_boldTabFont.setWeight(QFont::Bold);

    m_tabControl = new QWidget(window);
    m_tabControl->setObjectName(QStringLiteral("tabControl"));
    m_pane = new QFrame(m_tabControl);
    m_pane->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    m_tabStrip = new CTabStrip(m_tabControl);
    m_tabStrip->SetLabelFonts(m_tabFont, m_boldTabFont);
    connect(m_tabStrip, &QTabBar::currentChanged, this, [this](int index) { OnTabChanged(index); });

    if (!CreatePages()) {
        delete window;
        return nullptr;
    }
    AddShortcuts();

    // The layout the user left: every page's splitter, and the tab shown last (Java when
    // there is none).
    m_currentPage = kJavaPage;
    const std::string lastTab = GetLastTab();
    for (int index = 0; index < GetPageCount(); ++index) {
        CTabPage* page = m_pages[static_cast<size_t>(index)];
        page->SetSplitterPosition(GetSplitterPosition(page->GetName()));
        if (page->GetName() == lastTab)
            m_currentPage = index;
    }
    m_selecting = true;
    m_tabStrip->setCurrentIndex(m_currentPage);
    m_selecting = false;
    CTabPage* first = m_pages[static_cast<size_t>(m_currentPage)];
    PostMessage(first->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    first->show();
    Layout();
    return window;
}

// Actions of the window, so that a container may list them in its menus too.
void CSpindleCtrl::AddShortcuts()
{
    struct CShortcut
    {
        const char* text;
        QKeySequence keys;
        void (*run)(CTabPage&);
    };
    const CShortcut shortcuts[] = {
        {"&Search Box", QKeySequence(Qt::CTRL | Qt::Key_F), [](CTabPage& page) { page.FocusSearchBox(); }},
        {"&Back", QKeySequence(Qt::ALT | Qt::Key_Left), [](CTabPage& page) { page.PressButton(CTabPage::kBackId); }},
        {"&Forward", QKeySequence(Qt::ALT | Qt::Key_Right),
         [](CTabPage& page) { page.PressButton(CTabPage::kForwardId); }},
        {"&Refresh", QKeySequence(Qt::Key_F5), [](CTabPage& page) { page.PressButton(CTabPage::kRefreshId); }},
        {"&Print...", QKeySequence(Qt::CTRL | Qt::Key_P), [](CTabPage& page) { page.PressButton(CTabPage::kPrintId); }},
    };
    for (const CShortcut& shortcut : shortcuts) {
        auto* action = new QAction(QString::fromUtf8(shortcut.text), m_window);
        action->setShortcut(shortcut.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, run = shortcut.run] {
            if (CTabPage* page = GetPage(m_currentPage))
                run(*page);
        });
        m_window->addAction(action);
    }
}

void CSpindleCtrl::SaveLayout() const
{
    CTabPage* current = GetPage(m_currentPage);
    if (!current)
        return;
    std::vector<std::pair<std::string, int>> splitters;
    for (const QPointer<CTabPage>& page : m_pages) {
        if (page && page->GetSplitterPosition() >= 0)
            splitters.emplace_back(page->GetName(), page->GetSplitterPosition());
    }
    SetPageLayout(current->GetName(), splitters);
}

CTabPage* CSpindleCtrl::CreatePage(int index, QWidget* parent)
{
    switch (index) {
    case kJavaPage: return new CJavaTabPage(*this, m_runner, m_prompt, parent);
    case kLocalPage: return new CLocalTabPage(*this, m_runner, m_prompt, parent);
    case kMarketPage: return new CMarketTabPage(*this, m_runner, m_prompt, parent);
    case kTestingPage: return new CTestingTabPage(*this, m_runner, m_prompt, parent);
    default: return nullptr;
    }
}

bool CSpindleCtrl::CreatePages()
{
    for (int index = 0; index < kPageCount; ++index) {
        CTabPage* page = CreatePage(index, m_tabControl);
        if (!page)
            return false;
        page->hide();
        m_pages.emplace_back(page);
        // The strip selects its first tab by itself; that is no switch of pages.
        m_selecting = true;
        m_tabStrip->addTab(QString::fromStdString(page->GetName()));
        m_selecting = false;
        page->InitDialog();
    }
    return true;
}

CTabPage* CSpindleCtrl::GetPage(int index) const
{
    if (index < 0 || index >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<size_t>(index)];
}

CTabStrip* CSpindleCtrl::GetTabStrip() const
{
    return m_tabStrip;
}

QWidget* CSpindleCtrl::GetWindow() const
{
    return m_window;
}

QWidget* CSpindleCtrl::GetTabControl() const
{
    return m_tabControl;
}

bool CSpindleCtrl::SelectTab(int index)
{
    if (index < 0 || index >= GetPageCount() || !m_tabStrip)
        return false;
    m_selecting = true;
    m_tabStrip->setCurrentIndex(index);
    m_selecting = false;
    SwitchTo(index);
    return true;
}

void CSpindleCtrl::OnTabChanged(int index)
{
    if (m_selecting || index < 0 || index >= GetPageCount() || index == m_currentPage)
        return;
    SwitchTo(index);
}

void CSpindleCtrl::SwitchTo(int index)
{
    if (CTabPage* old = GetPage(m_currentPage)) {
        PostMessage(old->GetWindowHandle(), WM_PAGE_DEACTIVATE, 0, 0);
        old->hide();
    }
    m_currentPage = index;
    CTabPage* page = GetPage(index);
    if (!page)
        return;
    PostMessage(page->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);
    page->show();
    PlaceCurrentPage();
}

bool CSpindleCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window && event->type() == QEvent::Resize)
        Layout();
    // The container's window closes (or goes to the task bar): the layout is kept then.
    if (watched == m_window && event->type() == QEvent::Hide)
        SaveLayout();
    return QObject::eventFilter(watched, event);
}

void CSpindleCtrl::Layout()
{
    if (!m_window || !m_tabControl || !m_tabStrip)
        return;
    const QSize size = m_window->size();
    m_tabControl->setGeometry(0, 0, size.width(), size.height());
    const int stripHeight = m_tabStrip->sizeHint().height();
    m_tabStrip->setGeometry(0, 0, size.width(), stripHeight);
    m_pane->setGeometry(0, stripHeight, size.width(), std::max(0, size.height() - stripHeight));
    PlaceCurrentPage();
}

// A strip taller than the classic one pushes the page down by as much.
void CSpindleCtrl::PlaceCurrentPage()
{
    CTabPage* page = GetPage(m_currentPage);
    if (!page || !m_tabControl || !m_tabStrip)
        return;
    const int top = std::max(kPageTop, m_tabStrip->sizeHint().height() + 2);
    const int width = m_tabControl->width() - kPageLeft - kPageMarginRight;
    const int height = m_tabControl->height() - top - kPageMarginBottom;
    page->setGeometry(kPageLeft, top, std::max(0, width), std::max(0, height));
}

HRESULT CSpindleCtrl::ShowTab(const std::string& tabName)
{
    m_automationFlag = 1;
    for (int index = 0; index < GetPageCount(); ++index) {
        CTabPage* page = GetPage(index);
        if (page && page->GetName() == tabName) {
            SelectTab(index);
            break;
        }
    }
    return S_OK;
}

HRESULT CSpindleCtrl::ShowJavaItem(const std::string& packageName, const std::string& className,
                                   const std::string& methodName)
{
    m_automationFlag = 1;
    for (int index = 0; index < GetPageCount(); ++index) {
        auto* java = dynamic_cast<CJavaTabPage*>(GetPage(index));
        if (java && java->GetName() == "Java") {
            if (SelectTab(index))
                java->ShowItem(packageName, className, methodName);
            break;
        }
    }
    return S_OK;
}

void CSpindleCtrl::Advise(ISpindleCtrlEvents* sink)
{
    if (sink)
        m_sinks.push_back(sink);
}

void CSpindleCtrl::Unadvise(ISpindleCtrlEvents* sink)
{
    auto it = std::find(m_sinks.begin(), m_sinks.end(), sink);
    if (it != m_sinks.end())
        m_sinks.erase(it);
}

void CSpindleCtrl::BeginBusy()
{
    m_busy.Begin();
}

void CSpindleCtrl::EndBusy()
{
    m_busy.End();
}

void CSpindleCtrl::ReportSelection(CTabPage& page, const std::string& path)
{
    if (GetPage(m_currentPage) != &page)
        return;
    // A sink may disconnect itself, or another, while it is told.
    const std::vector<ISpindleCtrlEvents*> sinks = m_sinks;
    for (ISpindleCtrlEvents* sink : sinks) {
        if (std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
            continue;
        try {
            sink->TreeSelectionChanged(path);
        } catch (...) {
            // A failing client keeps no other from hearing of the selection.
        }
    }
}

void CSpindleCtrl::OpenOptions()
{
    COptionsDlg dialog(m_runner, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return;
    RefreshPage(kJavaPage);
    RefreshPage(kLocalPage);
}

void CSpindleCtrl::RefreshPage(int index)
{
    if (CTabPage* page = GetPage(index))
        page->RefreshTree();
}

void CSpindleCtrl::OnWindowDestroyed()
{
    // The pages went with the window.
    m_pages.clear();
    m_currentPage = 0;
}
