// One QApplication for all tests of a binary: the host's windows run offscreen, its bus
// and child processes are driven from the test's thread.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Q_INIT_RESOURCE(host);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
