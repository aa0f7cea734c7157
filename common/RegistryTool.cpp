// corvane-registry: sets up and edits the registry file from the command line.
#include <cstdio>
#include <string>

#include "Registry.h"
#include "RegistryFile.h"
#include "SettingsSetup.h"

namespace
{
int Usage()
{
    std::fprintf(stderr,
                 "usage: corvane-registry init [DATA_DIR]\n"
                 "       corvane-registry get [-c] KEY NAME\n"
                 "       corvane-registry set [-c] KEY NAME VALUE\n"
                 "KEY is a path below HKEY_LOCAL_MACHINE (or HKEY_CLASSES_ROOT with -c), for example\n"
                 "\"Software\\Corvane\\Vantrel\"; NAME \"\" is the key's default value.\n"
                 "The file is %s\n",
                 CRegistryFile::DefaultPath().c_str());
    return 2;
}

// The installer's part: both keys, and "Data" with its folders unless the user chose one.
int Init(const std::string& dataArgument)
{
    if (const std::string problem = SetUpSettings(dataArgument); !problem.empty()) {
        std::fprintf(stderr, "corvane-registry: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%s\n", CRegistryFile::DefaultPath().c_str());
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string command = argv[1];
    int next = 2;
    HKEY root = HKEY_LOCAL_MACHINE;
    if (argc > next && std::string(argv[next]) == "-c") {
        root = HKEY_CLASSES_ROOT;
        ++next;
    }
    // A file the settings cannot live in is reported, never taken for an empty one.
    const std::string file = CRegistryFile::DefaultPath();
    if (std::string problem = CRegistryFile::Problem(CRegistryFile::ResolveLinks(file)); !problem.empty()) {
        std::fprintf(stderr, "corvane-registry: %s %s\n", file.c_str(), problem.c_str());
        return 1;
    }
    if (command == "init" && argc <= 3)
        return Init(argc == 3 ? argv[2] : "");
    if (command == "get" && argc == next + 2) {
        std::printf("%s\n", RegReadString(root, argv[next], argv[next + 1], "").c_str());
        return 0;
    }
    if (command == "set" && argc == next + 3) {
        if (!RegCreateKey(root, argv[next]) || !RegWriteString(root, argv[next], argv[next + 1], argv[next + 2])) {
            std::fprintf(stderr, "corvane-registry: cannot write %s\n", CRegistryFile::DefaultPath().c_str());
            return 1;
        }
        return 0;
    }
    return Usage();
}
