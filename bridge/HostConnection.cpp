#include "HostConnection.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include <dbus/dbus.h>

namespace
{
const char* const kHostName = "Vantrel.Application";
const char* const kHostPath = "/Vantrel/Application";
const char* const kHostInterface = "Vantrel.IVantrel";

// A host that neither answers nor dies must not hang the IDE for good. Long enough for a
// Java search in the host; a call that times out is still delivered when the host comes up.
const int kCallTimeoutMs = 25000;

struct CMessageUnref
{
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
struct CConnectionUnref
{
    void operator()(DBusConnection* connection) const { dbus_connection_unref(connection); }
};
struct CPendingUnref
{
    void operator()(DBusPendingCall* pending) const { dbus_pending_call_unref(pending); }
};
using MessagePtr = std::unique_ptr<DBusMessage, CMessageUnref>;
using PendingPtr = std::unique_ptr<DBusPendingCall, CPendingUnref>;
using ConnectionPtr = std::unique_ptr<DBusConnection, CConnectionUnref>;

class CBusError
{
public:
    CBusError() { dbus_error_init(&m_error); }
    ~CBusError() { dbus_error_free(&m_error); }
    CBusError(const CBusError&) = delete;
    CBusError& operator=(const CBusError&) = delete;

    DBusError* Get() { return &m_error; }
    std::string Text() const
    {
        if (!dbus_error_is_set(&m_error))
            return "unknown error";
        return std::string(m_error.name) + ": " + (m_error.message ? m_error.message : "");
    }

private:
    DBusError m_error;
};
}  // namespace

CHostConnection& CHostConnection::Instance()
{
    static CHostConnection* instance = new CHostConnection;
    return *instance;
}

DBusConnection* CHostConnection::Acquire(std::string& error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A bus that went away since the last call shows only once the socket is read.
    if (m_connection &&
        (!dbus_connection_read_write(m_connection, 0) || !dbus_connection_get_is_connected(m_connection))) {
        // A private connection is closed before its last reference goes.
        dbus_connection_close(m_connection);
        dbus_connection_unref(m_connection);
        m_connection = nullptr;
    }
    if (!m_connection) {
        // Java calls arrive on any thread; the JVM's own signal handling stays untouched.
        if (!dbus_threads_init_default()) {
            error = "out of memory";
            return nullptr;
        }
        dbus_connection_set_change_sigpipe(FALSE);
        CBusError busError;
        m_connection = dbus_bus_get_private(DBUS_BUS_SESSION, busError.Get());
        if (!m_connection) {
            error = busError.Text();
            return nullptr;
        }
        // libdbus would end the whole IDE when the bus goes away.
        dbus_connection_set_exit_on_disconnect(m_connection, FALSE);
    }
    return dbus_connection_ref(m_connection);
}

bool CHostConnection::Call(const char* method, const std::vector<std::string>& args, std::string& error)
{
    ConnectionPtr connection(Acquire(error));
    if (!connection)
        return false;

    MessagePtr message(dbus_message_new_method_call(kHostName, kHostPath, kHostInterface, method));
    if (!message) {
        error = "out of memory";
        return false;
    }
    for (const std::string& arg : args) {
        // libdbus aborts the process on a string that is not UTF-8; check it first.
        CBusError busError;
        if (arg.find('\0') != std::string::npos) {
            error = "string holds a NUL";
            return false;
        }
        if (!dbus_validate_utf8(arg.c_str(), busError.Get())) {
            error = busError.Text();
            return false;
        }
        const char* text = arg.c_str();
        if (!dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID)) {
            error = "out of memory";
            return false;
        }
    }
    // Auto-start stays on: the bus starts the host with -Embedding when nobody owns its name.
    dbus_message_set_auto_start(message.get(), TRUE);

    DBusPendingCall* sent = nullptr;
    if (!dbus_connection_send_with_reply(connection.get(), message.get(), &sent, kCallTimeoutMs) || !sent) {
        error = "not connected to the bus";
        return false;
    }
    PendingPtr pending(sent);
    // Every waiting thread moves the connection along and stops at its own deadline;
    // libdbus's blocking call would make concurrent callers wait out each other's timeouts.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
    while (!dbus_pending_call_get_completed(pending.get())) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            dbus_pending_call_cancel(pending.get());
            error = "no answer from the host within " + std::to_string(kCallTimeoutMs) + " ms";
            return false;
        }
        // A disconnect completes the call with an error reply; make sure it cannot spin.
        int slice = static_cast<int>(std::min<long>(left.count(), 100));
        if (!dbus_connection_read_write_dispatch(connection.get(), slice) &&
            !dbus_pending_call_get_completed(pending.get())) {
            dbus_pending_call_cancel(pending.get());
            error = "disconnected from the bus";
            return false;
        }
    }
    MessagePtr reply(dbus_pending_call_steal_reply(pending.get()));
    if (!reply) {
        error = "no reply";
        return false;
    }
    CBusError busError;
    if (dbus_set_error_from_message(busError.Get(), reply.get())) {
        error = busError.Text();
        return false;
    }
    return true;
}
