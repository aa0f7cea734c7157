// corvane-scan: the component scan from the command line.
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "FileUtil.h"
#include "ScanCommand.h"
#include "ScanOptions.h"

namespace
{
// The core writes its few diagnostics (unreadable archives, lookup failures) to standard
// output, which here carries the report: they go to standard error under CORVANE_DEBUG and
// nowhere otherwise. Answers the descriptor the report is written to.
int SetReportAside()
{
    const int report = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    const char* debug = std::getenv("CORVANE_DEBUG");
    const int aside = debug && *debug ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (aside >= 0) {
        ::dup2(aside, STDOUT_FILENO);
        ::close(aside);
    }
    return report;
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CScanOptions options;
    std::string error;
    if (!ParseScanOptions(arguments, options, error)) {
        WriteAll(STDERR_FILENO, "corvane-scan: " + error + "\n\n" + ScanUsage());
        return kExitUsage;
    }
    if (options.help) {
        WriteAll(STDOUT_FILENO, ScanUsage());
        return kExitDone;
    }
    if (options.version) {
        WriteAll(STDOUT_FILENO, std::string("corvane-scan ") + CORVANE_VERSION + "\n");
        return kExitDone;
    }
    const bool outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    const int report = SetReportAside();
    return CScanCommand(options, report, STDERR_FILENO, outIsTerminal).Run();
}
