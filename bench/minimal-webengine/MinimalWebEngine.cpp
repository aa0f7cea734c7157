// minimal-webengine: the smallest Qt WebEngine window, the yardstick for tarnel's start-up
// time and memory: one view showing one small page in a window of tarnel's size.
#include <QApplication>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("Minimal Qt WebEngine window"));
    view.setHtml(QStringLiteral("<html><body><h1>Minimal</h1><p>One Qt WebEngine view.</p></body></html>"));
    view.resize(640, 480);
    view.show();
    return application.exec();
}
