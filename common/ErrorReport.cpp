#include "ErrorReport.h"

#include <cstdio>
#include <cstdlib>

namespace
{
bool DebugEnabled()
{
    const char* value = std::getenv("CORVANE_DEBUG");
    return value && *value;
}
}  // namespace

void ReportError(std::string_view error, std::string_view context)
{
    if (DebugEnabled())
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(context.size()), context.data(),
                     static_cast<int>(error.size()), error.data());
}

void DebugOutput(std::string_view text)
{
    if (DebugEnabled())
        std::fprintf(stderr, "%.*s", static_cast<int>(text.size()), text.data());
}
