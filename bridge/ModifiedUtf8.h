#pragma once

#include <string>
#include <string_view>

// Turns the modified UTF-8 of GetStringUTFChars into standard UTF-8, which is what the
// bus carries: a surrogate pair becomes one four-byte sequence. False for what a bus
// string cannot hold: an embedded NUL, a lone surrogate or bytes the JVM never produces.
bool ModifiedUtf8ToUtf8(std::string_view modified, std::string& utf8);
