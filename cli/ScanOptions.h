#pragma once

#include <optional>
#include <string>
#include <vector>

#include "VendorServers.h"

// How corvane-scan writes what it found.
enum class CReportFormat
{
    Table,
    Json,
    CycloneDx,
};

// The command line of corvane-scan.
struct CScanOptions
{
    std::vector<std::string> paths;  // empty: the CLASSPATH and the saved scan locations
    std::optional<CServerAddress> lookup;
    std::optional<std::string> server;
    std::optional<CReportFormat> format;  // unset: table on a terminal, JSON otherwise
    std::string output;                   // empty: standard output
    // "low", "medium", "high" or "critical": an advisory at or above it that affects, or
    // may affect, a component found ends the run with its own exit status.
    std::optional<std::string> failOn;
    bool updateIndex = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name; false with error set when they make no sense.
bool ParseScanOptions(const std::vector<std::string>& arguments, CScanOptions& options, std::string& error);

// The text of --help.
std::string ScanUsage();
