// corvane-scan: the component scan from the command line.
#include <string>
#include <vector>

#include <unistd.h>

#include "FileUtil.h"
#include "ScanCommand.h"
#include "ScanOptions.h"

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
    return CScanCommand(options, STDOUT_FILENO, STDERR_FILENO, outIsTerminal).Run();
}
