#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSqlConnection;
class CSqlDatabase;

// Every catalogued version of every component and the fingerprints of its classes
// (catalogue_versions, catalogue_fingerprints), loaded with the site's catalogue so that
// every server behind a load balancer tells versions apart alike. Tens of millions of
// fingerprint rows: they go in and come out in bulk, never a statement per row.
class CCatalogueTables
{
public:
    struct CVersion
    {
        std::string scid;
        std::string version;
        std::string sha1;
        std::string sha256;
        int64_t classCount = 0;
    };
    struct CFingerprint
    {
        uint64_t fingerprint;
        uint32_t version;  // index into the versions
    };
    struct CContent
    {
        std::vector<CVersion> versions;
        // Sorted by fingerprint, then version, each pair once: the order of the table's key,
        // so that a load only ever appends to it.
        std::vector<CFingerprint> fingerprints;
    };

    // What a read hands its rows to.
    class CReceiver
    {
    public:
        virtual ~CReceiver() = default;
        // Every read starts here, also one that starts anew on another connection.
        virtual void Versions(std::vector<CVersion> versions) = 0;
        virtual void Fingerprint(uint64_t fingerprint, size_t version) = 0;  // index into the versions
    };

    explicit CCatalogueTables(CSqlDatabase& database);

    // Within the site load's transaction: these versions and fingerprints in place of the
    // previous ones.
    bool Replace(CSqlConnection& connection, const CContent& content, std::string& error);
    // Within a read's transaction. found is false when no load has filled the tables yet (a
    // store loaded by an earlier server): the site's file is then in charge.
    bool Read(CSqlConnection& connection, CReceiver& receiver, bool& found, std::string& error);

private:
    bool m_postgres;
};
