#pragma once

#include <string>

// The installer's part of the settings, which the run command and a packaged program's
// first start do alike: the two settings keys, and "Data" with its Java/, Market/ and
// Local/ folders unless a value is set. Values already set are left alone.

// $XDG_DATA_HOME/corvane (~/.local/share/corvane).
std::string DefaultDataDirectory();
// ~/.local/lib/corvane: where the user's own copy of the program and its updates go.
std::string DefaultInstallPath();

// Empty when the keys and the data folders are there; otherwise what failed. dataDirectory
// is the "Data" to set when none is; empty takes the default.
std::string SetUpSettings(const std::string& dataDirectory = "");
