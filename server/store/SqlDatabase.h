#pragma once

#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SqlConnection.h"

// The database that holds what the server writes: a pool of connections handed to one
// thread at a time. SQLite and PostgreSQL differ only in how a connection is made, in a
// few statements and in how a write transaction starts.
class CSqlDatabase
{
public:
    enum class CDialect
    {
        SQLite,
        PostgreSQL,
    };

    // A connection for the caller alone, back in the pool when the lease ends.
    class CLease
    {
    public:
        CLease() = default;
        CLease(CSqlDatabase* database, std::unique_ptr<CSqlConnection> connection);
        CLease(CLease&& other) noexcept = default;
        CLease& operator=(CLease&&) = delete;
        ~CLease();

        explicit operator bool() const { return m_connection != nullptr; }
        CSqlConnection& operator*() const { return *m_connection; }
        CSqlConnection* operator->() const { return m_connection.get(); }

    private:
        CSqlDatabase* m_database = nullptr;
        std::unique_ptr<CSqlConnection> m_connection;
    };

    // A connection of its own on which statements run together or not at all: rolled back unless
    // Commit succeeded. A write transaction holds the database's write lock from its start
    // (SQLite), so that two writers never both read, then both write. fresh: on a new connection,
    // not one of the pool's.
    class CTransaction
    {
    public:
        CTransaction(CSqlDatabase& database, bool write, bool fresh = false);
        ~CTransaction();
        CTransaction(const CTransaction&) = delete;
        CTransaction& operator=(const CTransaction&) = delete;

        // False when no connection was had or the transaction did not begin (see Error).
        explicit operator bool() const { return m_begun; }
        const std::string& Error() const { return m_error; }
        // True when the connection was had and then found broken.
        bool Broken() const { return m_lease && !m_lease->Usable(); }
        CSqlConnection& operator*() const { return *m_lease; }
        CSqlConnection* operator->() const { return m_lease.operator->(); }
        bool Commit(std::string& error);

    private:
        std::unique_lock<std::mutex> m_turn;  // released last, after COMMIT or ROLLBACK
        std::string m_error;                  // before the lease, which is made with it
        CLease m_lease;
        bool m_begun = false;
        bool m_done = false;
    };

    virtual ~CSqlDatabase() = default;
    CSqlDatabase(const CSqlDatabase&) = delete;
    CSqlDatabase& operator=(const CSqlDatabase&) = delete;

    // fresh: a new connection, as after one was found broken (the pool's may all be, after the
    // database server restarted).
    CLease Acquire(std::string& error, bool fresh = false);

    // What a unit of work asks for when it is done.
    enum class CWork
    {
        Commit,
        RollBack,  // nothing to keep, and nothing failed
        Failed,
    };

    // Runs work in a transaction. A connection found broken before COMMIT was sent means the
    // transaction never happened: work runs once more from its start on a new connection. A
    // connection that breaks during COMMIT leaves the outcome unknown, and fails. work may run
    // twice, so it sets its results anew each time. False when work failed or nothing could be
    // committed; RollBack answers true.
    bool InTransaction(bool write, const std::function<CWork(CSqlConnection&, std::string&)>& work, std::string& error);

    // One statement on a pooled connection, again on a new one when that was found broken. Only for
    // statements that may run twice: reads, and writes whose second run fails by a key.
    CSqlResult Run(const std::string& sql, const std::vector<CSqlValue>& parameters = {});

    // A time as the tables keep it, "2024-05-01T12:00:00Z": texts that compare as the times do.
    static std::string UtcText(std::time_t time);

    virtual CDialect Dialect() const = 0;
    // For messages: the kind and where it is, never a password.
    virtual std::string Describe() const = 0;

protected:
    CSqlDatabase() = default;

    virtual std::unique_ptr<CSqlConnection> Connect(std::string& error) = 0;
    virtual const char* BeginWrite() const = 0;
    virtual const char* BeginRead() const = 0;
    // Writers of this process queue here before they begin; nothing by default.
    virtual std::unique_lock<std::mutex> WriteTurn() { return {}; }

private:
    void GiveBack(std::unique_ptr<CSqlConnection> connection);

    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::vector<std::unique_ptr<CSqlConnection>> m_idle;
    size_t m_open = 0;
};
