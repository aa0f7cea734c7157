#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "TabPageOwner.h"
#include "support/QtTestSupport.h"
#include "support/RecordingHttpServer.h"

class CTabPage;
class QWidget;

// Posts WM_PAGE_ACTIVATE to the page and waits until its first activation has filled the
// tree (or has failed to).
bool ActivatePage(CTabPage& page);
// Waits until the page's browser has completed a navigation to a URL that contains part.
bool WaitForPage(CTabPage& page, const std::string& part);

// The control's side of the page, recording every call.
class CRecordingOwner : public ITabPageOwner
{
public:
    void BeginBusy() override;
    void EndBusy() override;
    void ReportSelection(CTabPage& page, const std::string& path) override;
    void OpenOptions() override { ++m_optionsOpened; }
    int GetAutomationFlag() const override { return m_automationFlag; }

    int GetBusyDepth() const { return m_busyDepth; }
    int GetMaxBusyDepth() const { return m_maxBusyDepth; }
    bool BusyWentNegative() const { return m_busyNegative; }
    const std::vector<std::string>& Reports() const { return m_reports; }
    std::string LastReport() const { return m_reports.empty() ? "<none>" : m_reports.back(); }
    int GetOptionsOpened() const { return m_optionsOpened; }
    void SetAutomationFlag(int flag) { m_automationFlag = flag; }

private:
    int m_busyDepth = 0;
    int m_maxBusyDepth = 0;
    bool m_busyNegative = false;
    std::vector<std::string> m_reports;
    int m_optionsOpened = 0;
    int m_automationFlag = 0;
};

// The vendor's servers for the page tests, on loopback: the Java pages, package data and
// search answers, and the Marketplace session, index, pages and search. Records the target
// (path and query) of every GET.
class CPageTestServer
{
public:
    CPageTestServer();

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_server.Port()); }
    int Port() const { return m_server.Port(); }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_server.Port()); }

    // Points the settings at this server; writes Java/index.xml into the data directory.
    void Configure(class CTestRegistry& registry);

    // The answer to Java searches (any technology, any kind); empty means no hits.
    void SetJavaSearchAnswer(const std::string& xml);
    void SetMarketSearchAnswer(const std::string& xml);
    void SetLocalSearchAnswer(const std::string& xml);
    // Search answers and the Marketplace index wait this long, so that a dialog stays up.
    void SetDelay(std::chrono::milliseconds delay);

    std::vector<std::string> Targets() const;
    std::vector<std::string> TargetsContaining(const std::string& part) const;
    void ClearTargets();

    static const char* const kJavaIndex;
    static const char* const kMarketIndex;

private:
    void Record(const httplib::Request& request);

    CRecordingHttpServer m_server;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_targets;
    std::string m_javaSearchAnswer;
    std::string m_marketSearchAnswer;
    std::string m_localSearchAnswer;
    std::chrono::milliseconds m_delay{0};
};

// An HTML page with a title and a heading.
std::string HtmlPage(const std::string& title, const std::string& body = "");
