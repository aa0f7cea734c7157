#pragma once

#include <string>

class CServerStore;

// State that servers before the store kept in files of the state directory ("clients.txt",
// "reports/"), brought into the store. The files are kept, renamed, once the store has all
// of it, so a second run finds nothing left to do.
class CStateMigration
{
public:
    // True while the state directory still holds files a migration would bring in.
    static bool Pending(const std::string& stateDir);

    // summary tells what moved (and which reports got new numbers).
    static bool Run(const std::string& stateDir, CServerStore& store, std::string& summary, std::string& error);
};
