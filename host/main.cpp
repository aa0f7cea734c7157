// tarnel: the host program of the Corvane Component Manager.
#include <cerrno>
#include <cstring>
#include <string>

#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>

#include "CommandLine.h"
#include "ErrorReport.h"
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

// The file this process was started from, read before an update can replace it.
std::string OwnExecutable()
{
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

// Puts in place what the last update left for this start. When something moved, this
// process may be the old program: the start goes on in the new one, with the same
// arguments and environment. The list is empty then, so the new one does not come back here.
void ApplyPendingRenames(char** argv)
{
    std::string self = OwnExecutable();
    if (CPendingRenames::ForInstallation(GetInstallPath()).ApplyAll() == 0 || self.empty())
        return;
    ::execv(self.c_str(), argv);
    ReportError(self + ": " + std::strerror(errno), "main");
}
}  // namespace

int main(int argc, char** argv)
{
    // What the last update left for this start goes in before anything of it is loaded.
    ApplyPendingRenames(argv);

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
