// tarnel: the host program of the Corvane Component Manager.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
#include "UserSetup.h"
#include "VantrelApp.h"
#include "VersionBlock.h"

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

// The control's browsers draw in software, so the program needs no OpenGL. Qt WebEngine still
// wants a context shared with it, which Qt makes as it starts, loading the OpenGL driver
// before the window can show. Without Qt's OpenGL on X11 that context is one that cannot be
// made, and the web engine draws in software. A choice of the user's is kept; the programs
// this one starts (a browser for a support page) keep their OpenGL.
class CStartWithoutOpenGL
{
public:
    CStartWithoutOpenGL()
        : m_active(qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION") && qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
    {
        if (!m_active)
            return;
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        s_previous = qInstallMessageHandler(&CStartWithoutOpenGL::Filter);
    }
    // Once the application object is made.
    void Done()
    {
        if (!m_active)
            return;
        qunsetenv("QT_XCB_GL_INTEGRATION");
        qInstallMessageHandler(s_previous);
        m_active = false;
    }

private:
    // The one complaint that is the point of it all is left out.
    static void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.contains(QLatin1String("Cannot create platform OpenGL context")))
            return;
        if (s_previous)
            s_previous(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(message));
    }

    static inline QtMessageHandler s_previous = nullptr;
    bool m_active;
};

// Puts in place what the last update left for this start. When something moved, this
// process may be the old program: the start goes on in the new one, with the same
// arguments and environment. The list is empty then, so the new one does not come back here.
// When the new one cannot start, this start ends: the old program's file may be gone, and
// without it it knows neither its version nor its path to register. What moved stays in
// place for the next start.
void ApplyPendingRenames(char** argv)
{
    // Read before an update can replace the file this process was started from.
    std::string self = ProgramPath();
    if (CPendingRenames::ForInstallation(GetInstallPath()).ApplyAll() == 0 || self.empty())
        return;
    ::execv(self.c_str(), argv);
    std::fprintf(stderr, "tarnel: cannot start the updated program %s: %s\n", self.c_str(), std::strerror(errno));
    std::exit(EXIT_FAILURE);
}
}  // namespace

int main(int argc, char** argv)
{
    // What the last update left for this start goes in before anything of it is loaded.
    ApplyPendingRenames(argv);
    // A packaged program sets up what its user needs itself, at the first start.
    if (const std::string problem = CUserSetup(ProgramPath()).Run(); !problem.empty())
        ReportError(problem, "CUserSetup::Run");

    // The control brings Qt WebEngine in as a plug-in does.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ShareOneRendererProcess();
    CStartWithoutOpenGL withoutOpenGL;
    QApplication application(argc, argv);
    withoutOpenGL.Done();
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
