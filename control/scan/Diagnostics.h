#pragma once

#include <functional>
#include <string_view>

// Where the scan's few diagnostics go (an archive that cannot be read, a lookup that
// failed). The program's scan writes them to standard output, as the lookup server's
// operators expect; corvane-scan, whose standard output carries the report, elsewhere.
using CDiagnostics = std::function<void(std::string_view text)>;

// Standard output, flushed at once.
void WriteToStandardOutput(std::string_view text);
