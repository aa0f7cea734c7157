#include "BrowserPane.h"

#include <utility>

#include <QOpenGLWidget>
#include <QPaintEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QQuickWindow>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "PageToolbar.h"
#include "TabPageOwner.h"

CBrowserPane::CBrowserPane(ITabPageOwner& owner, CPageToolbar& toolbar, QWidget* parent)
    : QFrame(parent)
    , m_owner(owner)
    , m_toolbar(toolbar)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
    // A browser that draws through OpenGL, added to a shown window, has that window made
    // anew as another X window; a hidden child of that kind from the start makes the
    // window ready for it.
    if (DrawsThroughOpenGL())
        (new QOpenGLWidget(this))->hide();
}

bool CBrowserPane::DrawsThroughOpenGL()
{
    const QByteArray backend = qgetenv("QT_QUICK_BACKEND");
    return !backend.isEmpty() && backend != "software";
}

CBrowserPane::~CBrowserPane()
{
    // Nothing the browser does while it goes may reach the half-destroyed pane, and the
    // browser goes before the printer it may still be printing to.
    if (m_view) {
        m_view->page()->disconnect(this);
        m_view->disconnect(this);
        delete m_view;
        m_view = nullptr;
    }
    if (m_navigating) {
        m_navigating = false;
        m_owner.EndBusy();
    }
}

QWebEngineView* CBrowserPane::GetView()
{
    if (!m_view)
        CreateView();
    return m_view;
}

void CBrowserPane::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    // Queued, so that the paint that brought us here reaches the screen first.
    if (!m_view && !m_creationQueued) {
        m_creationQueued = true;
        QTimer::singleShot(0, this, [this] { GetView(); });
    }
}

void CBrowserPane::CreateView()
{
    // Reference pages draw well in software, which needs no OpenGL driver to start: unless
    // the user chose a backend, the browsers draw so. Set before the first browser exists.
    if (!DrawsThroughOpenGL() && QQuickWindow::graphicsApi() != QSGRendererInterface::Software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_view = new QWebEngineView(this);
    m_view->setObjectName(QStringLiteral("browser"));
    layout()->addWidget(m_view);
    if (m_created)
        m_created();
    if (!m_waiting.isEmpty())
        m_view->setUrl(std::exchange(m_waiting, QUrl()));
}

void CBrowserPane::Connect()
{
    if (!m_view)
        return;
    connect(m_view->page(), &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo& info) { OnLoadingChanged(info); });
    connect(m_view, &QWebEngineView::urlChanged, this, [this](const QUrl& url) { OnUrlChanged(url); });
    // A page's own print request prints as the Print button does.
    connect(m_view, &QWebEngineView::printRequested, this, [this] { Print(); });
    connect(m_view, &QWebEngineView::printFinished, this, [this](bool) { m_printer.reset(); });
}

bool CBrowserPane::IsUrl(const std::string& url)
{
    return QUrl(QString::fromStdString(url), QUrl::TolerantMode).isValid();
}

bool CBrowserPane::Navigate(const std::string& url)
{
    // Characters that cannot stand in a URL are percent-encoded, as a browser does.
    const QUrl target(QString::fromStdString(url), QUrl::TolerantMode);
    if (!target.isValid())
        return false;
    if (m_view)
        m_view->setUrl(target);
    else
        m_waiting = target;
    return true;
}

void CBrowserPane::GoBack()
{
    // Without a page to go back to the browser would not move, and the count would be
    // off by one at the next navigation.
    if (!m_view || !m_view->history()->canGoBack())
        return;
    m_history.StartBack();
    m_view->back();
}

void CBrowserPane::GoForward()
{
    if (!m_view || !m_view->history()->canGoForward())
        return;
    m_history.StartForward();
    m_view->forward();
}

void CBrowserPane::Stop()
{
    m_waiting.clear();
    if (m_view)
        m_view->stop();
    m_toolbar.ShowLoading(false);
}

void CBrowserPane::Refresh()
{
    if (m_view)
        m_view->reload();
}

void CBrowserPane::Print()
{
    // The printer must stay until the browser has finished with it.
    if (m_printer || !m_view)
        return;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), parentWidget());
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_printer = std::move(printer);
    m_view->print(m_printer.get());
}

void CBrowserPane::OnLoadingChanged(const QWebEngineLoadingInfo& info)
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
        if (m_view->history()->currentItem().url() == info.url())
            NavigateComplete(url);
        else
            EndNavigation();
        break;
    }
}

void CBrowserPane::OnUrlChanged(const QUrl& url)
{
    // A move within the shown document (an anchor) is a navigation without a load; the
    // start of a real load does not yet show in the history, and is counted when it ends.
    if (m_view->history()->currentItem().url() == url)
        UpdateHistory(url.toString().toStdString());
}

void CBrowserPane::BeforeNavigate()
{
    m_toolbar.ShowLoading(true);
    // One busy cursor per page, however many loads overlap.
    if (!m_navigating) {
        m_navigating = true;
        m_owner.BeginBusy();
    }
}

void CBrowserPane::NavigateComplete(const std::string& url)
{
    UpdateHistory(url);
    EndNavigation();
}

void CBrowserPane::UpdateHistory(const std::string& url)
{
    m_history.Complete(url);
    m_toolbar.ShowHistory(m_history.CanGoBack(), m_history.CanGoForward());
}

void CBrowserPane::EndNavigation()
{
    m_toolbar.ShowLoading(false);
    // Selecting an item disabled Back and Forward; a load that never completed must not
    // leave them so.
    m_toolbar.ShowHistory(m_history.CanGoBack(), m_history.CanGoForward());
    if (m_navigating) {
        m_navigating = false;
        m_owner.EndBusy();
    }
}
