#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AdvisoryTable.h"
#include "CatalogueTables.h"
#include "ClientTable.h"
#include "MarketSessionTable.h"
#include "ReportTable.h"
#include "SiteTables.h"

class CSqlDatabase;

// Everything the server writes (client ids, reports, marketplace sessions) and the site
// tables it reads (the catalogue and the lookup table), in one database that several servers
// may share: ids and numbers come from the database, so no two servers hand out the same.
// Each table keeps its own statements; CSchema keeps their layout.
class CServerStore
{
public:
    struct CImported
    {
        size_t clients = 0;  // ids new to the store
        size_t visits = 0;
        size_t reports = 0;
        std::vector<std::pair<int64_t, int64_t>> renumbered;  // old number, new number
    };

    // Opens the database (see CDatabaseFactory) and brings its tables up to this version.
    static std::unique_ptr<CServerStore> Open(const std::string& location, std::string& error);

    explicit CServerStore(std::unique_ptr<CSqlDatabase> database);
    ~CServerStore();
    CServerStore(const CServerStore&) = delete;
    CServerStore& operator=(const CServerStore&) = delete;

    std::string Describe() const;
    // One line on standard error for the operator: the page the client saw says less.
    void LogFailure(const std::string& what, const std::string& error) const;

    CClientTable& Clients() { return m_clients; }
    CReportTable& Reports() { return m_reports; }
    CMarketSessionTable& MarketSessions() { return m_marketSessions; }
    CSiteTables& SiteTables() { return m_siteTables; }

    // What --load-site brings: the site tables with the catalogue's versions and fingerprints,
    // in place of the previous ones in one transaction.
    bool LoadSite(const std::string& cataloguePath, const CSiteTables::CContent& site,
                  const CCatalogueTables::CContent& catalogue, std::string& error);
    // One load's site tables (found false when none were loaded) and, when that load brought
    // them, its versions and fingerprints (versionsFound), as of one moment.
    bool ReadSite(const std::string& cataloguePath, CSiteTables::CContent& site, bool& found,
                  CCatalogueTables::CReceiver& catalogue, bool& versionsFound, std::string& error);

    // One load of advisories, in one transaction: choose gets every id held with its modified
    // text and gives the rows to write in place of theirs, which then carry a new generation
    // (none when it gives none). written: how many.
    using CAdvisoryChoice = std::function<std::vector<CAdvisoryTable::CRow>(
        const std::unordered_map<std::string, std::string>& held)>;
    bool LoadAdvisories(const CAdvisoryChoice& choose, size_t& written, int64_t& generation, std::string& error);
    // The rows loaded after generation after (0: all), as of one moment, and the generation read.
    bool ReadAdvisories(int64_t after, const std::function<void(CAdvisoryTable::CRow)>& each, int64_t& generation,
                        std::string& error);
    bool AdvisoryGeneration(int64_t& generation, std::string& error);

    // State written before the store existed: ids and numbers are kept; a report whose number
    // the store already gives to another report gets a new one. Running it again adds nothing.
    bool Import(const std::vector<CClientTable::CVisit>& visits, const std::vector<CReportTable::CReport>& reports,
                CImported& imported, std::string& error);

private:
    std::unique_ptr<CSqlDatabase> m_database;
    CClientTable m_clients;
    CReportTable m_reports;
    CMarketSessionTable m_marketSessions;
    CSiteTables m_siteTables;
    CCatalogueTables m_catalogueTables;
};
