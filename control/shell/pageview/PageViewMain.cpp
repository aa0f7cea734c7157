// corvane-pageview: one tab page in a window of its own, against the servers that the
// registry file names. For development and screenshots.

#include <cstdio>
#include <memory>
#include <string>

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

#include "FlatButton.h"
#include "JavaTabPage.h"
#include "LocalTabPage.h"
#include "MarketTabPage.h"
#include "Messages.h"
#include "PageViewOwner.h"
#include "QtModalRunner.h"
#include "QtUserPrompt.h"

namespace
{
// Expands and selects the tree item at a "/"-separated path of names.
bool SelectPath(QTreeWidget& tree, const QString& path)
{
    QTreeWidgetItem* at = nullptr;
    const QStringList names = path.split(QLatin1Char('/'));
    for (int depth = 0; depth < names.size(); ++depth) {
        if (at)
            tree.expandItem(at);
        const int count = at ? at->childCount() : tree.topLevelItemCount();
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < count && !found; ++i) {
            QTreeWidgetItem* child = at ? at->child(i) : tree.topLevelItem(i);
            if (child->text(0) == names[depth])
                found = child;
        }
        if (!found)
            return false;
        at = found;
    }
    tree.setCurrentItem(at);
    tree.scrollToItem(at);
    return true;
}

bool ParseSize(const QString& text, QSize& size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okWidth = false;
    bool okHeight = false;
    size = QSize(parts[0].toInt(&okWidth), parts[1].toInt(&okHeight));
    return okWidth && okHeight && size.width() > 0 && size.height() > 0;
}
void AddOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QStringLiteral("Shows one tab page of the Corvane Component Manager."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("page"), QStringLiteral("java, local or market."), QStringLiteral("name"),
                      QStringLiteral("java")});
    parser.addOption({QStringLiteral("size"), QStringLiteral("Window size, WIDTHxHEIGHT."), QStringLiteral("size"),
                      QStringLiteral("960x600")});
    parser.addOption({QStringLiteral("fullscreen"), QStringLiteral("Fill the screen.")});
    parser.addOption({QStringLiteral("select"), QStringLiteral("Tree path to select, names joined by /."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("show-item"),
                      QStringLiteral("Java page: look up package,class,method (commas, empty parts allowed)."),
                      QStringLiteral("item")});
    parser.addOption({QStringLiteral("screenshot"),
                      QStringLiteral("Save the window as PNG once the page has loaded, then quit."),
                      QStringLiteral("file")});
}

std::unique_ptr<CTabPage> CreatePage(const QString& name, ITabPageOwner& owner, IModalRunner& runner,
                                     IUserPrompt& prompt)
{
    if (name == QLatin1String("java"))
        return std::make_unique<CJavaTabPage>(owner, runner, prompt);
    if (name == QLatin1String("local"))
        return std::make_unique<CLocalTabPage>(owner, runner, prompt);
    if (name == QLatin1String("market"))
        return std::make_unique<CMarketTabPage>(owner, runner, prompt);
    return nullptr;
}

// What the command line asks for once the tree is filled: a selection, a Java lookup, and
// a screenshot when the last load has been painted.
class CAfterFill
{
public:
    CAfterFill(QApplication& app, const QCommandLineParser& parser, CTabPage& page)
        : m_app(app)
        , m_page(page)
        , m_select(parser.value(QStringLiteral("select")))
        , m_showItem(parser.value(QStringLiteral("show-item")))
        , m_screenshot(parser.value(QStringLiteral("screenshot")))
    {
        m_shot.setSingleShot(true);
        QObject::connect(&m_shot, &QTimer::timeout, &page, [this] { SaveShot(); });
    }

    void Run()
    {
        if (!m_select.isEmpty() && !SelectPath(*m_page.GetTree(), m_select))
            std::fprintf(stderr, "corvane-pageview: no tree item \"%s\"\n", qPrintable(m_select));
        if (!m_showItem.isEmpty()) {
            const QStringList parts = m_showItem.split(QLatin1Char(','));
            if (auto* java = dynamic_cast<CJavaTabPage*>(&m_page))
                java->ShowItem(parts.value(0).toStdString(), parts.value(1).toStdString(),
                               parts.value(2).toStdString());
        }
        if (m_screenshot.isEmpty())
            return;
        // Each finished load restarts the wait, so the shot shows the last page painted.
        QObject::connect(m_page.GetBrowser(), &QWebEngineView::loadFinished, &m_shot, [this] { m_shot.start(1500); });
        m_shot.start(30000);
    }

private:
    void SaveShot()
    {
        const bool saved = m_page.grab().save(m_screenshot, "PNG");
        std::fprintf(stderr, "corvane-pageview: %s %s\n", saved ? "saved" : "could not save", qPrintable(m_screenshot));
        m_app.exit(saved ? 0 : 1);
    }

    QApplication& m_app;
    CTabPage& m_page;
    QString m_select;
    QString m_showItem;
    QString m_screenshot;
    QTimer m_shot;
};
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-pageview"));

    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(app);

    QSize size;
    if (!ParseSize(parser.value(QStringLiteral("size")), size)) {
        std::fprintf(stderr, "corvane-pageview: --size wants WIDTHxHEIGHT\n");
        return 2;
    }

    CQtUserPrompt prompt;
    CQtModalRunner runner;
    CPageViewOwner owner(prompt, parser.isSet(QStringLiteral("show-item")) ? 1 : 0);
    const QString pageName = parser.value(QStringLiteral("page"));
    std::unique_ptr<CTabPage> page = CreatePage(pageName, owner, runner, prompt);
    if (!page) {
        std::fprintf(stderr, "corvane-pageview: unknown page \"%s\"\n", qPrintable(pageName));
        return 2;
    }
    owner.SetWindow(page.get());
    page->setWindowTitle(QString::fromStdString(page->GetName()));
    page->InitDialog();
    page->resize(size);
    if (parser.isSet(QStringLiteral("fullscreen")))
        page->showFullScreen();
    else
        page->show();
    PostMessage(page->GetWindowHandle(), WM_PAGE_ACTIVATE, 0, 0);

    auto afterFill = std::make_unique<CAfterFill>(app, parser, *page);
    // The activation (posted above) may download the index behind a dialog first.
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, page.get(), [&] {
        // Wait for the home page too, so that a selection starts a history of its own.
        const bool ready = page->GetHomeItem() && page->GetButton(CTabPage::kRefreshId)->isEnabled();
        if (!ready && ++polls < 150)
            return;
        poll.stop();
        afterFill->Run();
    });
    poll.start(100);
    const int result = app.exec();
    afterFill.reset();
    page.reset();
    return result;
}
