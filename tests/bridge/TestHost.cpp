// A stand-in for the host program on the bus: owns Vantrel.Application, writes every call
// it receives to a record file and, depending on its mode, answers, dies or stays silent.
//
//   vantrel-test-host --record FILE [--mode answer|exit|silent] [-Embedding]
//
// Record lines (fields separated by tabs, tabs and newlines inside fields escaped):
//   start <pid> <arguments>      once, when the name is owned
//   call <sender> <method> <arg>...
//   gone <sender>                a caller's connection closed
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <dbus/dbus.h>
#include <unistd.h>

namespace
{
const char* const kName = "Vantrel.Application";
const char* const kPath = "/Vantrel/Application";
const char* const kInterface = "Vantrel.IVantrel";

std::string g_recordPath;

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void Record(const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i ? "\t" : "") + Escape(fields[i]);
    line += "\n";
    if (FILE* file = std::fopen(g_recordPath.c_str(), "a")) {
        std::fputs(line.c_str(), file);
        std::fclose(file);
    }
}

const char* ExpectedSignature(const char* method)
{
    if (std::strcmp(method, "Launch") == 0)
        return "";
    if (std::strcmp(method, "ShowTab") == 0)
        return "s";
    if (std::strcmp(method, "ShowJavaItem") == 0)
        return "sss";
    return nullptr;
}

void Reply(DBusConnection* connection, DBusMessage* reply)
{
    if (reply) {
        dbus_connection_send(connection, reply, nullptr);
        dbus_connection_flush(connection);
        dbus_message_unref(reply);
    }
}

// False when the host is to end.
bool HandleCall(DBusConnection* connection, DBusMessage* message, const std::string& mode,
                std::set<std::string>& callers)
{
    const char* method = dbus_message_get_member(message);
    const char* signature = ExpectedSignature(method);
    if (!dbus_message_has_path(message, kPath) || !dbus_message_has_interface(message, kInterface) || !signature) {
        Reply(connection, dbus_message_new_error(message, DBUS_ERROR_UNKNOWN_METHOD, method));
        return true;
    }
    if (!dbus_message_has_signature(message, signature)) {
        Reply(connection, dbus_message_new_error(message, DBUS_ERROR_INVALID_ARGS, signature));
        return true;
    }
    std::vector<std::string> fields = {"call", dbus_message_get_sender(message), method};
    DBusMessageIter iter;
    if (dbus_message_iter_init(message, &iter)) {
        do {
            const char* text = nullptr;
            dbus_message_iter_get_basic(&iter, &text);
            fields.push_back(text);
        } while (dbus_message_iter_next(&iter));
    }
    Record(fields);
    callers.insert(dbus_message_get_sender(message));
    if (mode == "exit")
        return false;
    if (mode == "answer")
        Reply(connection, dbus_message_new_method_return(message));
    return true;
}

void HandleSignal(DBusMessage* message, std::set<std::string>& callers)
{
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (!dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged") ||
        !dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &oldOwner,
                               DBUS_TYPE_STRING, &newOwner, DBUS_TYPE_INVALID))
        return;
    if (*newOwner == '\0' && callers.erase(name))
        Record({"gone", name});
}

int Serve(DBusConnection* connection, const std::string& mode, const std::string& arguments)
{
    DBusError error;
    dbus_error_init(&error);
    dbus_bus_add_match(connection, "type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged'", &error);
    if (dbus_error_is_set(&error)) {
        std::fprintf(stderr, "vantrel-test-host: %s\n", error.message);
        dbus_error_free(&error);
        return 1;
    }
    int owned = dbus_bus_request_name(connection, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error);
    if (owned != DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
        std::fprintf(stderr, "vantrel-test-host: cannot own %s\n", kName);
        dbus_error_free(&error);
        return 1;
    }
    Record({"start", std::to_string(::getpid()), arguments});

    // Calls that came in while the name was requested are already queued: take those first.
    std::set<std::string> callers;
    do {
        while (DBusMessage* message = dbus_connection_pop_message(connection)) {
            bool keepGoing = true;
            if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_METHOD_CALL)
                keepGoing = HandleCall(connection, message, mode, callers);
            else if (dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_SIGNAL)
                HandleSignal(message, callers);
            dbus_message_unref(message);
            if (!keepGoing)
                return 0;
        }
    } while (dbus_connection_read_write(connection, -1));
    return 0;  // the bus went away
}
}  // namespace

int main(int argc, char** argv)
{
    std::string mode = "answer";
    std::string arguments;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--record" && i + 1 < argc)
            g_recordPath = argv[++i];
        else if (arg == "--mode" && i + 1 < argc)
            mode = argv[++i];
        else
            arguments += (arguments.empty() ? "" : " ") + arg;
    }
    if (g_recordPath.empty() || (mode != "answer" && mode != "exit" && mode != "silent")) {
        std::fprintf(stderr, "usage: vantrel-test-host --record FILE [--mode answer|exit|silent]\n");
        return 2;
    }

    DBusError error;
    dbus_error_init(&error);
    // Started by the bus, the host talks to the bus that started it.
    DBusConnection* connection =
        dbus_bus_get_private(std::getenv("DBUS_STARTER_ADDRESS") ? DBUS_BUS_STARTER : DBUS_BUS_SESSION, &error);
    if (!connection) {
        std::fprintf(stderr, "vantrel-test-host: %s\n", error.message);
        dbus_error_free(&error);
        return 1;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    int result = Serve(connection, mode, arguments);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    dbus_shutdown();
    return result;
}
