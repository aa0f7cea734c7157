#pragma once

#include <string>

#include "SearchThread.h"

// A catalogue search: one request to the marketplace site, results in the server's order.
class CMarketSearchThread : public CSearchThread
{
public:
    explicit CMarketSearchThread(CItemList& results);

    // The session id is copied: the search never touches the data manager.
    void Setup(const std::string& searchText, const std::string& sessionId, HWND target);

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;

private:
    std::string m_sessionId;
};
