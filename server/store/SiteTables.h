#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

class CSqlConnection;
class CSqlDatabase;

// The site's catalogue (a row of site_documents) and lookup table (lookup_classes), loaded by
// build-site so that every server behind a load balancer answers from the same data.
class CSiteTables
{
public:
    struct CContent
    {
        std::string catalogue;
        std::time_t modified = 0;                                 // when the catalogue last changed
        std::vector<std::pair<std::string, std::string>> lookup;  // class name, SCID, in table order
    };

    explicit CSiteTables(CSqlDatabase& database);

    // cataloguePath: the catalogue's path in the site, its key in the store. Replaces the
    // catalogue and the lookup table in one step.
    bool Replace(const std::string& cataloguePath, const CContent& content, std::string& error);
    // found is false when no site tables were ever loaded.
    bool Read(const std::string& cataloguePath, CContent& content, bool& found, std::string& error);
    // The same within a transaction of the caller's, beside other tables.
    bool Replace(CSqlConnection& connection, const std::string& cataloguePath, const CContent& content,
                 std::string& error);
    bool Read(CSqlConnection& connection, const std::string& cataloguePath, CContent& content, bool& found,
              std::string& error);

private:
    CSqlDatabase& m_database;
    bool m_postgres;
};
