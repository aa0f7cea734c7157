#include "WorkerThread.h"

#include <chrono>
#include <exception>
#include <system_error>

#include "ErrorReport.h"

namespace
{
std::uint32_t NextThreadId()
{
    static std::atomic<std::uint32_t> next{1};
    std::uint32_t id = next++;
    return id != 0 ? id : next++;
}
}  // namespace

CWorkerThread::CWorkerThread() = default;

CWorkerThread::~CWorkerThread()
{
    // CWorker has shut down already; this only covers a worker that never started.
    Shutdown();
}

bool CWorkerThread::Begin(std::uint32_t interval)
{
    if (m_threadId != 0)
        return false;
    if (!m_owned) {
        ReportError("a worker must be held as CWorker<T>", "CWorkerThread::Begin");
        return false;
    }
    m_stop = false;
    m_running = true;
    m_interval = interval;
    m_finished.Reset();
    m_threadId = NextThreadId();
    try {
        m_thread = std::thread(&CWorkerThread::ThreadBody, this);
    } catch (const std::system_error& error) {
        ReportError(error.what(), "CWorkerThread::Begin");
        m_threadId = 0;
        m_running = false;
        m_finished.Set();
        return false;
    }
    return true;
}

std::uint32_t CWorkerThread::Start()
{
    return Begin(5) ? m_threadId : 0;
}

void CWorkerThread::Stop()
{
    m_status = -1;
    m_stop = true;
}

void CWorkerThread::Shutdown()
{
    m_stop = true;
    // A step that shuts down its own worker would wait for itself.
    if (m_thread.get_id() == std::this_thread::get_id())
        return;
    m_wake.Set();
    m_finished.Wait();
    {
        std::lock_guard lock(m_joinMutex);
        if (m_thread.joinable())
            m_thread.join();
    }
    m_shutDown = true;
}

template <typename Step>
void CWorkerThread::RunStep(Step step, const char* context)
{
    // An exception must not end the process, and EndWork must still tell the dialog.
    try {
        step();
    } catch (const std::exception& error) {
        ReportError(error.what(), context);
        m_stop = true;
    } catch (...) {
        ReportError("unknown exception", context);
        m_stop = true;
    }
}

void CWorkerThread::ThreadBody()
{
    RunStep([this] { StartWork(); }, "CWorkerThread::StartWork");
    while (!m_stop) {
        if (m_interval == INFINITE)
            m_wake.Wait();
        else
            m_wake.Wait(std::chrono::milliseconds(m_interval));
        if (m_stop)
            break;
        RunStep([this] { DoWork(); }, "CWorkerThread::DoWork");
    }
    RunStep([this] { EndWork(); }, "CWorkerThread::EndWork");
    m_running = false;
    m_finished.Set();
}
