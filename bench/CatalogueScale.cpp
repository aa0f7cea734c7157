// The scale benchmark's two halves (bench/catalogue-scale.sh): a generated catalogue of many
// versions as site files, and pipelined GETFP look-ups against a running lookup server.
//   CatalogueScale generate SITE VERSIONS FINGERPRINTS SAMPLE_FILE
//   CatalogueScale lookup PORT SAMPLE_FILE SECONDS CONNECTIONS
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kVersionsPerComponent = 10;
constexpr size_t kInFlight = 200;  // requests sent before their answers are read

uint64_t Mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

// Ten versions per component; half of a component's classes are alike in all its versions,
// the others differ in each, as between releases of a library.
int Generate(const std::string& site, long versions, long fingerprints, const std::string& samplePath)
{
    long components = versions / kVersionsPerComponent;
    long perVersion = fingerprints / versions;
    std::ofstream catalogue(site + "/stores/components/vendors/components.bnd");
    std::ofstream classes(site + "/lookup/classes.txt");
    std::FILE* rows = std::fopen((site + "/lookup/fingerprints.txt").c_str(), "w");
    std::ofstream sample(samplePath);
    if (!catalogue || !classes || !rows || !sample) {
        std::fprintf(stderr, "cannot write the site files in %s\n", site.c_str());
        return 1;
    }
    std::fputs("# fingerprint\tSCID\tversion\n", rows);
    catalogue << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<components>\n";
    for (long c = 0; c < components; ++c) {
        long scid = 1000000 + c;
        char group[32];
        std::snprintf(group, sizeof group, "org.bench.c%07ld", c);
        catalogue << "<component SCID=\"" << scid << "\"><componentName>Bench " << c
                  << "</componentName><vendor>Bench</vendor><version>1." << kVersionsPerComponent - 1
                  << ".0</version><classCount>" << perVersion
                  << "</classCount><categories><category><primaryCategory>Bench</primaryCategory>"
                     "<secondaryCategory>Generated</secondaryCategory></category></categories><versions>";
        for (int v = kVersionsPerComponent - 1; v >= 0; --v)
            catalogue << "<version name=\"1." << v << ".0\" sha1=\"" << std::hex << Mix(scid * 16 + v) << "\" sha256=\""
                      << Mix(scid * 16 + v + 1) << std::dec << "\" classCount=\"" << perVersion << "\"/>";
        catalogue << "</versions></component>\n";
        for (long k = 0; k < perVersion; ++k)
            classes << group << ".Class" << (k < 10 ? "000" : k < 100 ? "00" : k < 1000 ? "0" : "") << k << '\t' << scid
                    << '\n';
        for (int v = 0; v < kVersionsPerComponent; ++v)
            for (long k = 0; k < perVersion; ++k) {
                uint64_t fingerprint = k < perVersion / 2 ? Mix(scid << 20 | k) : Mix((scid << 20 | k) << 8 | v);
                std::fprintf(rows, "%016" PRIx64 "\t%ld\t1.%d.0\n", fingerprint, scid, v);
                if (Mix(fingerprint) % 200 == 0)
                    sample << std::hex << fingerprint << std::dec << '\n';
            }
    }
    catalogue << "</components>\n";
    std::fclose(rows);
    return 0;
}

int Connect(int port)
{
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// Reads answer lines until count lists have ended ("201 ..."); false on an error answer.
bool ReadAnswers(int socket, std::string& pending, size_t count, long& found, std::string& refusal)
{
    char buffer[65536];
    while (count > 0) {
        size_t end;
        while (count > 0 && (end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line.rfind("201 ", 0) == 0)
                --count;
            else if (line.rfind("200 ", 0) == 0)
                ++found;
            else if (line.rfind("220 ", 0) != 0) {
                refusal = line;
                return false;
            }
        }
        if (count == 0)
            break;
        ssize_t got = ::read(socket, buffer, sizeof buffer);
        if (got <= 0) {
            refusal = "the server closed the connection";
            return false;
        }
        pending.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

int Lookup(int port, const std::string& samplePath, int seconds, int connections)
{
    std::vector<std::string> requests;
    std::ifstream sample(samplePath);
    for (std::string line; std::getline(sample, line);)
        requests.push_back("GETFP " + std::string(16 - line.size(), '0') + line + "\n");
    if (requests.empty()) {
        std::fprintf(stderr, "no fingerprints in %s\n", samplePath.c_str());
        return 1;
    }
    std::atomic<long> answered{0}, versions{0};
    std::string refusal;
    std::vector<std::thread> threads;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    auto started = std::chrono::steady_clock::now();
    for (int t = 0; t < connections; ++t)
        threads.emplace_back([&, t] {
            int socket = Connect(port);
            if (socket < 0)
                return;
            std::string pending, failure;
            long found = 0;
            size_t next = static_cast<size_t>(t) * 7919;
            while (std::chrono::steady_clock::now() < until) {
                std::string batch;
                for (size_t i = 0; i < kInFlight; ++i)
                    batch += requests[next++ % requests.size()];
                if (::write(socket, batch.data(), batch.size()) != static_cast<ssize_t>(batch.size()) ||
                    !ReadAnswers(socket, pending, kInFlight, found, failure)) {
                    if (t == 0)
                        refusal = failure;
                    break;
                }
                answered += kInFlight;
            }
            versions += found;
            ::close(socket);
        });
    for (auto& thread : threads)
        thread.join();
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (answered == 0) {
        std::printf("GETFP not answered: %s\n", refusal.c_str());
        return 3;
    }
    std::printf("%ld GETFP look-ups in %.1f s over %d connections: %.0f per second, %.2f versions per answer\n",
                answered.load(), elapsed, connections, static_cast<double>(answered) / elapsed,
                static_cast<double>(versions) / static_cast<double>(answered));
    return 0;
}
}  // namespace

int main(int argc, char* argv[])
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "generate" && argc == 6)
        return Generate(argv[2], std::atol(argv[3]), std::atol(argv[4]), argv[5]);
    if (mode == "lookup" && argc == 6)
        return Lookup(std::atoi(argv[2]), argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    std::fprintf(stderr, "usage: CatalogueScale generate SITE VERSIONS FINGERPRINTS SAMPLE_FILE\n"
                         "       CatalogueScale lookup PORT SAMPLE_FILE SECONDS CONNECTIONS\n");
    return 2;
}
