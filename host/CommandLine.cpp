#include "CommandLine.h"

bool FindAndCutSwitch(std::string& commandLine, const std::string& name)
{
    for (size_t i = 0; i < commandLine.size(); ++i) {
        if ((commandLine[i] == '-' || commandLine[i] == '/') && commandLine.compare(i + 1, name.size(), name) == 0) {
            commandLine.erase(i, name.size() + 1);
            return true;
        }
    }
    return false;
}

bool IsStandAloneStart(std::string& commandLine)
{
    return !FindAndCutSwitch(commandLine, "Embedding") && !FindAndCutSwitch(commandLine, "Automation");
}

std::string JoinCommandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}
