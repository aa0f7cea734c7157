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
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-pageview"));

    QCommandLineParser parser;
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
    std::unique_ptr<CTabPage> page;
    if (pageName == QLatin1String("java"))
        page = std::make_unique<CJavaTabPage>(owner, runner, prompt);
    else if (pageName == QLatin1String("local"))
        page = std::make_unique<CLocalTabPage>(owner, runner, prompt);
    else if (pageName == QLatin1String("market"))
        page = std::make_unique<CMarketTabPage>(owner, runner, prompt);
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

    const QString select = parser.value(QStringLiteral("select"));
    const QString showItem = parser.value(QStringLiteral("show-item"));
    const QString screenshot = parser.value(QStringLiteral("screenshot"));
    QTimer shot;
    shot.setSingleShot(true);
    QObject::connect(&shot, &QTimer::timeout, page.get(), [&] {
        const bool saved = page->grab().save(screenshot, "PNG");
        std::fprintf(stderr, "corvane-pageview: %s %s\n", saved ? "saved" : "could not save", qPrintable(screenshot));
        app.exit(saved ? 0 : 1);
    });
    auto afterFill = [&] {
        if (!select.isEmpty() && !SelectPath(*page->GetTree(), select))
            std::fprintf(stderr, "corvane-pageview: no tree item \"%s\"\n", qPrintable(select));
        if (!showItem.isEmpty()) {
            const QStringList parts = showItem.split(QLatin1Char(','));
            if (auto* java = dynamic_cast<CJavaTabPage*>(page.get()))
                java->ShowItem(parts.value(0).toStdString(), parts.value(1).toStdString(),
                               parts.value(2).toStdString());
        }
        if (screenshot.isEmpty())
            return;
        // Each finished load restarts the wait, so the shot shows the last page painted.
        QObject::connect(page->GetBrowser(), &QWebEngineView::loadFinished, &shot, [&] { shot.start(1500); });
        shot.start(30000);
    };
    // The activation (posted above) may download the index behind a dialog first.
    QTimer poll;
    int polls = 0;
    QObject::connect(&poll, &QTimer::timeout, page.get(), [&] {
        // Wait for the home page too, so that a selection starts a history of its own.
        const bool ready = page->GetHomeItem() && page->GetButton(CTabPage::kRefreshId)->isEnabled();
        if (!ready && ++polls < 150)
            return;
        poll.stop();
        afterFill();
    });
    poll.start(100);
    const int result = app.exec();
    page.reset();
    return result;
}
