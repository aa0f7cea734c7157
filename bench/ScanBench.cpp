// Times a whole CLASSPATH scan of real JARs against a lookup server and a catalogue server
// on loopback, under the headless progress dialog, as a ratio to the floor of one 5 ms
// step per class name.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <httplib.h>

#include "ScanProgressDlg.h"
#include "support/HeadlessModalRunner.h"

namespace
{
const char* const kClassPath =
    "/usr/share/java/commons-cli.jar:/usr/share/java/commons-io.jar:/usr/share/java/commons-lang3.jar";

// Knows every prefix; one class in fifty belongs to a catalogued component.
class CLookupServer
{
public:
    CLookupServer()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 4);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~CLookupServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    int Port() const { return m_port; }

private:
    void Run()
    {
        while (!m_stop) {
            pollfd entry{m_listener, POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0)
                continue;
            int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0)
                continue;
            Send(client, "220 lookup\n");
            std::string pending;
            char buffer[4096];
            for (ssize_t n; (n = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
                pending.append(buffer, static_cast<size_t>(n));
                for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                    std::string request = pending.substr(0, end);
                    pending.erase(0, end + 1);
                    if (request.rfind("GETCOUNT ", 0) == 0) {
                        Send(client, "200 3\n");
                    } else {
                        size_t hash = std::hash<std::string>()(request);
                        Send(client, hash % 50 == 0 ? "200 " + std::to_string(hash % 1000) + "\n201\n" : "201\n");
                    }
                }
            }
            ::close(client);
        }
    }
    static void Send(int fd, const std::string& text) { ::send(fd, text.data(), text.size(), MSG_NOSIGNAL); }

    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void BM_ClassPathScan(benchmark::State& state)
{
    CLookupServer lookup;
    httplib::Server catalogue;
    catalogue.Get("/xql.dll/components/vendors/components.bnd", [](const httplib::Request& request, httplib::Response& response) {
        std::string scid = request.get_param_value("scid");
        response.set_content("<components><component><scid>" + scid + "</scid><name>Kit " + scid +
                                 "</name><category>Tools</category></component></components>",
                             "text/xml");
    });
    int httpPort = catalogue.bind_to_any_port("127.0.0.1");
    std::thread http([&] { catalogue.listen_after_bind(); });

    std::filesystem::path data = std::filesystem::temp_directory_path() / ("corvane-scan-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(data / "Local");
    std::string registry = (data / "registry.reg").string();
    {
        std::ofstream out(registry);
        out << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel]\n"
            << "\"ComponentDatabase\"=\"127.0.0.1:" << lookup.Port() << "\"\n"
            << "\"ComponentWebServer\"=\"http://127.0.0.1:" << httpPort << "\"\n"
            << "\"Data\"=\"" << data.string() << "\"\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel\\User]\n";
    }
    ::setenv("CORVANE_REGISTRY", registry.c_str(), 1);

    size_t names = 0;
    size_t scids = 0;
    double seconds = 0;
    for (auto _ : state) {
        CPrefixCache cache;  // a fresh process: every prefix is asked once
        CScanProgressDlg dialog(kClassPath, true, cache);
        CHeadlessModalRunner runner(std::chrono::minutes(5));
        auto start = std::chrono::steady_clock::now();
        runner.RunModal(dialog);
        dialog.EndScan();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        names = dialog.GetScan().GetNames().size();
        scids = dialog.GetScan().GetResults().size();
    }
    double floor = static_cast<double>(names) * 0.005;
    state.counters["names"] = static_cast<double>(names);
    state.counters["scids"] = static_cast<double>(scids);
    state.counters["floor_s"] = floor;
    state.counters["ratio_to_floor"] = floor > 0 ? seconds / floor : 0;

    catalogue.stop();
    http.join();
    std::filesystem::remove_all(data);
}

BENCHMARK(BM_ClassPathScan)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);
}  // namespace

BENCHMARK_MAIN();
