#include "VantrelDlg.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include "AboutDlg.h"
#include "UserPrompt.h"

namespace
{
// The template's 391 by 279 dialog units in the dialog's font.
QSize TemplateSize(const QFontMetrics& metrics)
{
    return {391 * metrics.averageCharWidth() / 4, 279 * metrics.height() / 8};
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
    return true;
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
