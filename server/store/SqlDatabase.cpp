#include "SqlDatabase.h"

#include <chrono>

namespace
{
// A request that finds every connection busy for this long gets an error, not a hang.
constexpr auto kAcquireWait = std::chrono::seconds(30);
constexpr size_t kMaxConnections = 8;
}  // namespace

std::string CSqlDatabase::UtcText(std::time_t time)
{
    std::tm utc{};
    ::gmtime_r(&time, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

CSqlDatabase::CLease CSqlDatabase::Acquire(std::string& error, bool fresh)
{
    std::unique_lock lock(m_mutex);
    if (!m_returned.wait_for(lock, kAcquireWait, [this] { return !m_idle.empty() || m_open < kMaxConnections; })) {
        error = Describe() + ": every connection is busy";
        return {};
    }
    if (fresh && !m_idle.empty() && m_open >= kMaxConnections) {
        // Room for the new one: an idle connection is as old as the broken one.
        m_idle.erase(m_idle.begin());
        --m_open;
    }
    if (!fresh && !m_idle.empty()) {
        auto connection = std::move(m_idle.back());
        m_idle.pop_back();
        return CLease(this, std::move(connection));
    }
    ++m_open;
    lock.unlock();
    // Connecting may take a while (a remote server): others go on meanwhile.
    auto connection = Connect(error);
    if (!connection) {
        std::lock_guard relock(m_mutex);
        --m_open;
        m_returned.notify_one();
        return {};
    }
    return CLease(this, std::move(connection));
}

void CSqlDatabase::GiveBack(std::unique_ptr<CSqlConnection> connection)
{
    std::lock_guard lock(m_mutex);
    if (connection->Usable())
        m_idle.push_back(std::move(connection));
    else
        --m_open;
    m_returned.notify_one();
}

bool CSqlDatabase::InTransaction(bool write, const std::function<CWork(CSqlConnection&, std::string&)>& work,
                                 std::string& error)
{
    for (bool fresh : {false, true}) {
        CTransaction transaction(*this, write, fresh);
        if (!transaction) {
            if (!fresh && transaction.Broken())
                continue;
            error = transaction.Error();
            return false;
        }
        error.clear();
        CWork done = work(*transaction, error);
        if (done == CWork::Failed && !fresh && transaction.Broken())
            continue;
        if (done != CWork::Commit)
            return done == CWork::RollBack;
        return transaction.Commit(error);
    }
    return false;
}

CSqlResult CSqlDatabase::Run(const std::string& sql, const std::vector<CSqlValue>& parameters)
{
    CSqlResult result;
    for (bool fresh : {false, true}) {
        auto connection = Acquire(result.error, fresh);
        if (!connection)
            return result;
        result = connection->Run(sql, parameters);
        if (result.ok || connection->Usable())
            break;
    }
    return result;
}

CSqlDatabase::CLease::CLease(CSqlDatabase* database, std::unique_ptr<CSqlConnection> connection)
    : m_database(database), m_connection(std::move(connection))
{
}

CSqlDatabase::CLease::~CLease()
{
    if (m_connection)
        m_database->GiveBack(std::move(m_connection));
}

CSqlDatabase::CTransaction::CTransaction(CSqlDatabase& database, bool write, bool fresh)
    : m_turn(write ? database.WriteTurn() : std::unique_lock<std::mutex>()), m_lease(database.Acquire(m_error, fresh))
{
    if (!m_lease)
        return;
    CSqlResult begun = m_lease->Run(write ? database.BeginWrite() : database.BeginRead());
    m_begun = begun.ok;
    m_error = begun.error;
}

CSqlDatabase::CTransaction::~CTransaction()
{
    if (m_begun && !m_done)
        m_lease->Run("ROLLBACK");
}

bool CSqlDatabase::CTransaction::Commit(std::string& error)
{
    CSqlResult committed = m_lease->Run("COMMIT");
    // A failed COMMIT may leave the transaction open (SQLite): the destructor rolls it back.
    m_done = committed.ok;
    if (!committed.ok)
        error = committed.error;
    return committed.ok;
}
