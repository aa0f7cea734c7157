#include "ClassPages.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SystemCalls.h"

extern char** environ;

namespace fs = std::filesystem;

namespace
{
constexpr auto kDpkgTimeout = std::chrono::seconds(5);
constexpr size_t kMaxDpkgOutput = 64 * 1024;

// "org.acme.Parser" as "org/acme/Parser"; empty for a name that is not a class's.
std::string DottedPath(std::string_view className)
{
    std::string path;
    size_t start = 0;
    while (start <= className.size()) {
        size_t end = className.find('.', start);
        if (end == std::string_view::npos)
            end = className.size();
        const std::string_view part = className.substr(start, end - start);
        const bool identifier = !part.empty() && std::all_of(part.begin(), part.end(), [](char c) {
            const unsigned char u = static_cast<unsigned char>(c);
            return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
                   u == '_' || u == '$';
        });
        if (!identifier)
            return {};
        path += (start == 0 ? "" : "/") + std::string(part);
        start = end + 1;
    }
    return path;
}

// Maven's layout keeps a-1.0-javadoc.jar beside a-1.0.jar.
std::string JavadocBeside(std::string archive)
{
    if (archive.ends_with(".jar"))
        archive.resize(archive.size() - 4);
    return archive + "-javadoc.jar";
}

bool IsFile(const std::string& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// What dpkg-query -S prints for path, run without a shell; nullopt when it could not run
// or did not end in time.
std::optional<std::string> DpkgQueryOutput(const std::string& path)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "dpkg-query", option = "-S", argument = path;
    char* argv[] = {program.data(), option.data(), argument.data(), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return std::nullopt;
    }
    std::string output;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + kDpkgTimeout;
    while (output.size() < kMaxDpkgOutput) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready{out[0], POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char buffer[4096];
        const ssize_t n = sys::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ended = n == 0;
            break;
        }
        output.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    if (!ended)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended)
        return std::nullopt;
    return output;
}

bool IsPackageName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    }) && name.find("..") == std::string_view::npos;
}

// Lines "pkg[:arch][, pkg...]: path"; diversions and other paths matched as patterns are left out.
std::vector<std::string> DebianPackagesOf(const std::string& path)
{
    std::vector<std::string> packages;
    const std::optional<std::string> output = DpkgQueryOutput(path);
    if (!output)
        return packages;
    std::string_view rest = *output;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const size_t colon = line.find(": ");
        if (line.starts_with("diversion by ") || colon == std::string_view::npos || line.substr(colon + 2) != path)
            continue;
        std::string_view names = line.substr(0, colon);
        while (!names.empty()) {
            const size_t comma = std::min(names.find(", "), names.size());
            const std::string_view name = names.substr(0, std::min(names.find(':'), comma));
            if (IsPackageName(name))
                packages.emplace_back(name);
            names.remove_prefix(std::min(comma + 2, names.size()));
        }
    }
    return packages;
}

std::string DebianPage(const std::string& archive, const std::string& pagePath, const std::string& docRoot)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(archive, error);
    if (error || archive.empty())
        return {};
    std::vector<std::string> paths{absolute.lexically_normal().string()};
    const fs::path resolved = fs::canonical(archive, error);
    if (!error && resolved.string() != paths.front())
        paths.push_back(resolved.string());
    for (const std::string& path : paths) {
        for (const std::string& package : DebianPackagesOf(path)) {
            const std::string page = docRoot + "/" + package + "/api/" + pagePath;
            if (IsFile(page))
                return page;
        }
    }
    return {};
}

// pagePath: the page's file below a folder of pages, "org/acme/Parser.html".
CClassPage FindPage(const std::string& pagePath, const std::vector<std::string>& archives, CJavadocCache& cache,
                    const std::string& docRoot)
{
    CClassPage page;
    for (const std::string& archive : archives) {
        const std::string javadoc = JavadocBeside(archive);
        if (!IsFile(javadoc))
            continue;
        std::string note;
        const std::optional<std::string> pages = cache.Pages(javadoc, note);
        if (!pages) {
            if (page.note.empty())
                page.note = note;
        } else if (IsFile(*pages + pagePath)) {
            return {*pages + pagePath, ""};
        }
    }
    for (const std::string& archive : archives) {
        if (std::string file = DebianPage(archive, pagePath, docRoot); !file.empty())
            return {file, ""};
    }
    return page;
}
}  // namespace

CClassPage FindClassPage(const std::string& className, const std::vector<std::string>& archives,
                         CJavadocCache& cache, const std::string& docRoot)
{
    const std::string path = DottedPath(className);
    return path.empty() ? CClassPage{} : FindPage(path + ".html", archives, cache, docRoot);
}

CClassPage FindPackagePage(const std::string& packageName, const std::vector<std::string>& archives,
                           CJavadocCache& cache, const std::string& docRoot)
{
    // javadoc's page of a package; the unnamed package's is at the top.
    constexpr const char* kPackagePage = "package-summary.html";
    if (packageName.empty())
        return FindPage(kPackagePage, archives, cache, docRoot);
    const std::string path = DottedPath(packageName);
    return path.empty() ? CClassPage{} : FindPage(path + "/" + kPackagePage, archives, cache, docRoot);
}
