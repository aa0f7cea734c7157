#include "ScanOptions.h"

namespace
{
bool ParseFormat(const std::string& text, CReportFormat& format)
{
    if (text == "table")
        format = CReportFormat::Table;
    else if (text == "json")
        format = CReportFormat::Json;
    else if (text == "cyclonedx")
        format = CReportFormat::CycloneDx;
    else
        return false;
    return true;
}

// "host" (port 21, as the setting reads it), "host:port" or "[v6]:port".
bool ParseLookup(const std::string& text, CServerAddress& address)
{
    address = ParseServerAddress(text, 0);
    const bool portGiven = text.front() == '[' ? text.find("]:") != std::string::npos
                                               : text.find(':') != std::string::npos && text.find(':') == text.rfind(':');
    if (address.port == 0 && !portGiven)
        address.port = kLookupPort;
    return !address.host.empty() && address.port != 0;
}

bool IsHttpUrl(const std::string& text)
{
    for (const char* scheme : {"http://", "https://"}) {
        const std::string prefix = scheme;
        if (text.size() > prefix.size() && text.compare(0, prefix.size(), prefix) == 0)
            return true;
    }
    return false;
}
}  // namespace

bool ParseScanOptions(const std::vector<std::string>& arguments, CScanOptions& options, std::string& error)
{
    bool optionsEnd = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string argument = arguments[i];
        if (optionsEnd || argument.empty() || argument[0] != '-' || argument == "-") {
            options.paths.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
            continue;
        }
        // "--name=value" as well as "--name value".
        std::optional<std::string> value;
        if (const size_t equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = argument.substr(equals + 1);
            argument.erase(equals);
        }
        auto takeValue = [&]() -> bool {
            if (!value && i + 1 < arguments.size())
                value = arguments[++i];
            if (!value || value->empty()) {
                error = "option " + argument + " needs a value";
                return false;
            }
            return true;
        };
        auto noValue = [&](bool& flag) -> bool {
            if (value) {
                error = "option " + argument + " takes no value";
                return false;
            }
            flag = true;
            return true;
        };

        if (argument == "-h" || argument == "--help") {
            if (!noValue(options.help))
                return false;
        } else if (argument == "-V" || argument == "--version") {
            if (!noValue(options.version))
                return false;
        } else if (argument == "-q" || argument == "--quiet") {
            if (!noValue(options.quiet))
                return false;
        } else if (argument == "--update-index") {
            if (!noValue(options.updateIndex))
                return false;
        } else if (argument == "-f" || argument == "--format") {
            CReportFormat format;
            if (!takeValue())
                return false;
            if (!ParseFormat(*value, format)) {
                error = "unknown format '" + *value + "' (table, json or cyclonedx)";
                return false;
            }
            options.format = format;
        } else if (argument == "-o" || argument == "--output") {
            if (!takeValue())
                return false;
            options.output = *value;
        } else if (argument == "--fail-on") {
            if (!takeValue())
                return false;
            if (*value != "low" && *value != "medium" && *value != "high" && *value != "critical") {
                error = "unknown severity '" + *value + "' (low, medium, high or critical)";
                return false;
            }
            options.failOn = *value;
        } else if (argument == "--lookup") {
            CServerAddress address;
            if (!takeValue())
                return false;
            if (!ParseLookup(*value, address)) {
                error = "--lookup wants HOST:PORT, not '" + *value + "'";
                return false;
            }
            options.lookup = address;
        } else if (argument == "--server") {
            if (!takeValue())
                return false;
            if (!IsHttpUrl(*value)) {
                error = "--server wants an http:// or https:// URL, not '" + *value + "'";
                return false;
            }
            // The catalogue paths are appended to it.
            while (value->back() == '/')
                value->pop_back();
            options.server = *value;
        } else {
            error = "unknown option " + argument;
            return false;
        }
    }
    return true;
}

std::string ScanUsage()
{
    return R"(Usage: corvane-scan [OPTIONS] [PATH...]

Finds the known Java components in archives (.jar, .war, .ear, .zip, also inside one
another) and class trees, and lists them. Without PATH it scans the CLASSPATH and the
scan locations saved in the settings; with PATHs, exactly those.

Options:
  -f, --format FORMAT  table, json or cyclonedx (a CycloneDX 1.5 JSON BOM); the default
                       is table when standard output is a terminal, json otherwise
  -o, --output FILE    write to FILE (through a temporary file and a rename)
      --lookup HOST:PORT
                       the lookup server for this run (setting ComponentDatabase)
      --server URL     the component web server for this run (setting ComponentWebServer)
      --update-index   also write the Local tab's index, as the program's scan does
      --fail-on SEVERITY
                       low, medium, high or critical: exit with status 5 when a known
                       vulnerability at or above it affects a component found (one the
                       server cannot rule out, or of unknown severity, counts)
  -q, --quiet          no progress line and no summary on standard error
  -h, --help           show this help and exit
  -V, --version        show the version and exit

Exit status: 0 done; 1 no lookup server reachable or a catalogue entry could not be
fetched (nothing written); 2 bad arguments; 3 a PATH does not exist; 4 the output or the
index could not be written; 5 --fail-on found a vulnerability (the report is written).
The known vulnerabilities come from the component web server; one that has none, or
cannot be asked, leaves the report as it was (the latter with a warning). See
corvane-scan(1).
)";
}
