#pragma once

#include <string>
#include <utility>
#include <vector>

class CSqlDatabase;

// The layout of the store's tables as ordered steps: step N brings a database from version
// N-1 to N, and store_info's "schema" row says which step a database has had last. Opening a
// database applies the steps it has not had, all in one transaction that holds the schema lock,
// so that servers starting together on one database apply each step once. A later change adds a
// step at the end; a step that servers have applied is never changed.
class CSchema
{
public:
    struct CStep
    {
        std::vector<std::string> sqlite;  // run in order, in each dialect
        std::vector<std::string> postgres;
    };

    explicit CSchema(std::vector<CStep> steps) : m_steps(std::move(steps)) {}

    // The store's steps, step 1 first.
    static CSchema Store();

    // These steps and one more after them.
    CSchema Then(CStep step) const;

    size_t Version() const { return m_steps.size(); }
    // Applies the steps the database has not had; fails on a database of a later version.
    // applied: how many steps ran (0 on a database that was up to date).
    bool Upgrade(CSqlDatabase& database, size_t& applied, std::string& error) const;

private:
    std::vector<CStep> m_steps;
};
