#pragma once

#include "SearchThread.h"

// A search among the local components: the server's matches, kept when the local index
// has them, in the server's order.
class CLocalSearchThread : public CSearchThread
{
public:
    explicit CLocalSearchThread(CItemList& results);

    void Setup(const std::string& queryText, HWND target);

protected:
    void StartWork() override;
    void DoWork() override;
    void EndWork() override;
};
