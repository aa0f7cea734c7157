#pragma once

#include <string>

// The start switches COM used to append. A switch is found where "-" or "/" anywhere in
// the command line is followed by its name (case-sensitive; a longer word that starts
// with the name matches too); the switch found is cut out of the command line.
bool FindAndCutSwitch(std::string& commandLine, const std::string& name);

// Tests "Embedding", then "Automation", stopping at the first found; true when neither was.
bool IsStandAloneStart(std::string& commandLine);

// The command line as one text: the arguments after the program name joined by blanks.
std::string JoinCommandLine(int argc, char** argv);
