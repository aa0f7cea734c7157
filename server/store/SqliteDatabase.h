#pragma once

#include <memory>
#include <string>

#include "SqlDatabase.h"

// The server's database in one SQLite file (the default, in the state directory): created
// on first use, in write-ahead-log mode so that readers never wait for a writer, and shared
// safely by several server processes on the same machine.
class CSqliteDatabase : public CSqlDatabase
{
public:
    static std::unique_ptr<CSqlDatabase> Open(const std::string& path, std::string& error);

    CDialect Dialect() const override { return CDialect::SQLite; }
    std::string Describe() const override { return "SQLite database " + m_path; }

protected:
    std::unique_ptr<CSqlConnection> Connect(std::string& error) override;
    // Takes the write lock at once: a transaction that reads, then writes, never meets
    // another writer half-way.
    const char* BeginWrite() const override { return "BEGIN IMMEDIATE"; }
    const char* BeginRead() const override { return "BEGIN"; }
    // SQLite lets one writer in at a time; the others of this process wait on a mutex, in
    // order, instead of polling the file lock with growing sleeps.
    std::unique_lock<std::mutex> WriteTurn() override { return std::unique_lock(m_writers); }

private:
    explicit CSqliteDatabase(std::string path);

    std::string m_path;
    std::mutex m_writers;
};
