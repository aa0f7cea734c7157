#include "QtModalRunner.h"

#include <thread>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "HttpDownload.h"
#include "ProgressDialog.h"
#include "support/QtTestSupport.h"
#include "support/RecordingHttpServer.h"
#include "support/TestSupport.h"

namespace
{
// The window as it is seen while the transfer runs.
struct CSeen
{
    std::string caption;
    std::string text;
    bool cancelEnabled = true;
    bool stillOpenAfterClose = false;
};

constexpr int kAbort = 3;

// Ends while it opens, as a core whose work cannot start does.
class CEndsAtOnce : public CModalDialogCore
{
public:
    void OnInitDialog(HWND) override { EndDialog(kAbort); }
};

}  // namespace

TEST(CQtModalRunner, HostDownloadsUnderAWindowThatCannotBeCancelled)
{
    // A body slow enough that the window shows while it arrives.
    CRecordingHttpServer server;
    server.Server().Get("/Vantrel/ui/clientid.jsp", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
            if (offset >= 4000) {
                sink.done();
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::string chunk(100, 'k');
            sink.write(chunk.data(), chunk.size());
            return true;
        });
    });
    server.Start();

    CTempDir dir;
    CQtModalRunner runner;
    CHttpDownload http(runner, kHostDownloadMessages);
    ASSERT_TRUE(http.Create());
    http.SetServerProperties("127.0.0.1", server.Port());
    http.SetFileName(dir.File("key.txt"));
    http.SetUri("/Vantrel/ui/clientid.jsp");

    CSeen seen;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* window = dynamic_cast<CProgressDialog*>(QApplication::activeModalWidget());
        if (!window || !seen.caption.empty())
            return;
        seen.caption = window->windowTitle().toStdString();
        seen.text = window->GetTextLabel()->text().toStdString();
        seen.cancelEnabled = window->GetCancelButton()->isEnabled();
        window->close();  // the close box
        window->GetCancelButton()->click();
        seen.stillOpenAfterClose = window->isVisible();
    });
    watch.start();
    EXPECT_TRUE(http.Download(true, false));
    watch.stop();

    EXPECT_EQ(seen.caption, "Corvane Component Manager");
    EXPECT_EQ(seen.text, "Downloading ...");
    EXPECT_FALSE(seen.cancelEnabled);
    EXPECT_TRUE(seen.stillOpenAfterClose);
    EXPECT_EQ(ReadFileText(dir.File("key.txt")), std::string(4000, 'k'));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(CQtModalRunner, ACoreThatEndsWhileOpeningShowsNoWindow)
{
    CEndsAtOnce core;
    CQtModalRunner runner;
    bool shown = false;
    QObject scope;
    QTimer::singleShot(0, &scope, [&] { shown = QApplication::activeModalWidget() != nullptr; });
    EXPECT_EQ(runner.RunModal(core), kAbort);
    Pump(std::chrono::milliseconds(20));
    EXPECT_FALSE(shown);
}
