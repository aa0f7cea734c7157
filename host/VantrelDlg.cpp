#include "VantrelDlg.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include "AboutDlg.h"
#include "Settings.h"
#include "UserPrompt.h"

namespace
{
// The template's 391 by 279 dialog units in the dialog's font.
QSize TemplateSize(const QFontMetrics& metrics)
{
    return {391 * metrics.averageCharWidth() / 4, 279 * metrics.height() / 8};
}

// A window can be taken and moved when enough of its top edge lies on some screen.
bool IsReachable(const QRect& window)
{
    const QRect top(window.x(), window.y(), window.width(), std::min(window.height(), 32));
    const QSize needed = QSize(64, 16).boundedTo(top.size());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = screen->availableGeometry().intersected(top);
        if (shown.width() >= needed.width() && shown.height() >= needed.height())
            return true;
    }
    return false;
}
}  // namespace

void ActivateMainWindow(QWidget* window)
{
    if (!window)
        return;
    if (window->isMinimized()) {
        window->show();
    } else {
        bool quiet = window->testAttribute(Qt::WA_ShowWithoutActivating);
        window->setAttribute(Qt::WA_ShowWithoutActivating, true);
        window->show();
        window->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
    }
    window->raise();
    window->activateWindow();
}

CVantrelDlg::CVantrelDlg(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint)
{
    setWindowTitle(kAppTitle);
    setMinimumSize(kMinWidth, kMinHeight);
}

CVantrelDlg::~CVantrelDlg()
{
    if (m_advised)
        m_control.Unadvise(this);
    m_control.Destroy();
}

int CVantrelDlg::DoModal()
{
    if (!OnInitDialog())
        return -1;
    return exec();
}

bool CVantrelDlg::OnInitDialog()
{
    if (!m_control.Create(this))
        return false;
    m_control.Advise(this);
    m_advised = true;

    auto* menuBar = new QMenuBar(this);
    QMenu* help = menuBar->addMenu(QStringLiteral("&Help"));
    // The control's own keys (search box, Back, Forward, Refresh, Print), listed with them.
    if (const QList<QAction*> keys = m_control.GetWindow()->actions(); !keys.isEmpty()) {
        help->addActions(keys);
        help->addSeparator();
    }
    QAction* about = help->addAction(QString::fromUtf8(kAboutMenuText));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    about->setShortcutContext(Qt::WindowShortcut);
    addAction(about);
    connect(about, &QAction::triggered, this, [this] { OnAbout(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(m_control.GetWindow());

    QSize size = TemplateSize(fontMetrics());
    resize(std::max(size.width(), kMinWidth), std::max(size.height(), kMinHeight));
    RestorePlacement();
    return true;
}

void CVantrelDlg::RestorePlacement()
{
    const std::optional<CWindowPlacement> kept = GetWindowPlacement();
    if (!kept)
        return;
    QRect rect(kept->left, kept->top, kept->width, kept->height);
    const QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QSize size = rect.size().expandedTo(minimumSize());
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size().expandedTo(minimumSize()));
    if (IsReachable(rect))
        setGeometry(QRect(rect.topLeft(), size));
    else
        resize(size);
    m_normalGeometry = geometry();
    if (kept->maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CVantrelDlg::SavePlacement() const
{
    // Maximised, the window keeps the place it goes back to.
    const bool maximized = isMaximized();
    const QRect normal = maximized && m_normalGeometry.isValid() ? m_normalGeometry : geometry();
    if (!normal.isValid())
        return;
    SetWindowPlacement({normal.x(), normal.y(), normal.width(), normal.height(), maximized});
}

void CVantrelDlg::moveEvent(QMoveEvent* event)
{
    QDialog::moveEvent(event);
    RememberNormalGeometry();
}

void CVantrelDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    RememberNormalGeometry();
}

// A window manager may size the window to the screen before it tells that it maximised
// it: a size that fills a screen is no normal place to go back to.
void CVantrelDlg::RememberNormalGeometry()
{
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (size() == screen->availableGeometry().size() || size() == screen->geometry().size())
            return;
    }
    m_normalGeometry = geometry();
}

void CVantrelDlg::done(int result)
{
    if (isVisible())
        SavePlacement();
    QDialog::done(result);
}

void CVantrelDlg::ShowTab(const std::string& tabName)
{
    m_control.ShowTab(tabName);
}

void CVantrelDlg::ShowJavaItem(const std::string& packageName, const std::string& className,
                               const std::string& methodName)
{
    m_control.ShowJavaItem(packageName, className, methodName);
}

bool CVantrelDlg::IsInputEnabled() const
{
    QWidget* modal = QApplication::activeModalWidget();
    return !modal || modal == this;
}

void CVantrelDlg::OnAbout()
{
    CAboutDlg about(this);
    about.DoModal();
}

void CVantrelDlg::accept()
{
}

void CVantrelDlg::TreeSelectionChanged(const std::string& selection)
{
    setWindowTitle(QString::fromUtf8(kAppTitle) + QLatin1Char(' ') + QString::fromStdString(selection));
}
