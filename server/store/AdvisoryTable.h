#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

class CSqlConnection;

// The known vulnerabilities (advisories), one row per record id with its newest copy. Each
// load that changes something stamps its rows with a new generation, so that every server
// sharing the store takes just the rows it has not read yet, without a restart.
class CAdvisoryTable
{
public:
    struct CRow
    {
        std::string id;
        std::string modified;  // the record's own text, which the merge rule reads
        std::string record;    // the record as JSON in the OSV format
    };

    // Within one transaction each.
    // The generation of the last load that changed a row; 0 before any.
    static bool Generation(CSqlConnection& connection, int64_t& generation, std::string& error);
    // Every id held, with its modified text.
    static bool HeldModified(CSqlConnection& connection, std::unordered_map<std::string, std::string>& held,
                             std::string& error);
    // Starts a load's generation: the one after the last.
    static bool NextGeneration(CSqlConnection& connection, int64_t& generation, std::string& error);
    // The row in place of the one held with its id, stamped with generation.
    static bool Put(CSqlConnection& connection, const CRow& row, int64_t generation, std::string& error);
    // The rows of the generations after after, in generation order; generation is the last one.
    static bool ReadSince(CSqlConnection& connection, int64_t after, const std::function<void(CRow)>& each,
                          int64_t& generation, std::string& error);
};
