#pragma once

#include <string>

// Text made safe for XML and for the store: invalid UTF-8 becomes U+FFFD, control
// characters go.
std::string CleanText(const std::string& text);
