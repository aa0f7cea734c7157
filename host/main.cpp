// tarnel: the host program of the Corvane Component Manager.
#include <QApplication>
#include <QDBusConnection>
#include <QIcon>

#include "CommandLine.h"
#include "EscapeFilter.h"
#include "PendingRenames.h"
#include "QtModalRunner.h"
#include "QtUserPrompt.h"
#include "Settings.h"
#include "VantrelApp.h"

namespace
{
// Every page of the control shows the vendor's own site: one renderer process serves them
// all, instead of one per page. A limit the user gives keeps precedence.
void ShareOneRendererProcess()
{
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains("--renderer-process-limit"))
        return;
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + (flags.isEmpty() ? "" : " ") + "--renderer-process-limit=1");
}
}  // namespace

int main(int argc, char** argv)
{
    // What the last update left for this start goes in before anything of it is loaded.
    CPendingRenames::ForInstallation(GetInstallPath()).ApplyAll();

    // The control brings Qt WebEngine in as a plug-in does.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ShareOneRendererProcess();
    QApplication application(argc, argv);
    Q_INIT_RESOURCE(host);
    // The dialogs run their own loops; none of them ends the program by closing.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/host/tarnel.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnel"));
    // Escape closes no window of the program.
    application.installEventFilter(new CEscapeFilter(&application));

    CQtUserPrompt prompt;
    CQtModalRunner runner;
    CVantrelApp app(JoinCommandLine(argc, argv), prompt, runner, QDBusConnection::sessionBus());
    app.InitInstance();
    return 0;
}
