#pragma once

#include <string_view>

// Errors stay silent for the user. With CORVANE_DEBUG set they go to standard error,
// where OutputDebugString and the error hook used to go.
void ReportError(std::string_view error, std::string_view context);
void DebugOutput(std::string_view text);
