#pragma once

#include <cstdint>
#include <string>

#include "ItemList.h"
#include "MessageTarget.h"
#include "WorkerThread.h"
#include "XmlDocument.h"

// Base of the searches that run behind the search progress dialog: the page's result list
// (filled on the worker thread, read by the page after the dialog has ended), the dialog
// window the messages go to, the search text, and the XML access of the searches.
class CSearchThread : public CWorkerThread
{
public:
    explicit CSearchThread(CItemList& results);

    void SetTargetWindow(HWND target) { m_targetWindow = target; }
    HWND GetTargetWindow() const { return m_targetWindow; }
    void SetSearchText(const std::string& text) { m_searchText = text; }
    const std::string& GetSearchText() const { return m_searchText; }

protected:
    CItemList& Results() { return m_results; }

    // WM_SEARCH_STARTED with the number of steps to come.
    void PostSearchStarted(std::int32_t steps);
    // WM_SEARCH_PROGRESS and WM_SEARCH_FINISHED carry the status.
    void PostSearchProgress();
    void PostSearchFinished();

    static std::string GetChildElementValue(const CXmlNode& node, const std::string& childName);
    static std::string GetElementAttributeValue(const CXmlNode& element, const std::string& name);

private:
    // Posted only while the dialog exists; wParam is the thread id.
    void PostToTarget(unsigned message, LPARAM lParam);

    CItemList& m_results;
    HWND m_targetWindow = 0;
    std::string m_searchText;
};
