// regsvr: registers a library's COM entries the way regsvr32 does, by loading it and
// calling its DllRegisterServer (or DllUnregisterServer with /u).
//
//   regsvr [/u] [/s] LIBRARY
//
// Exit codes as regsvr32's: 0 done, 1 bad arguments, 3 cannot load, 4 no entry point,
// 5 the entry point failed.

#include <cstdio>
#include <filesystem>
#include <string>

#include <dlfcn.h>

#include "DllVersionInfo.h"
#include "SpindleCtrlInterface.h"

namespace
{
int Usage()
{
    std::fprintf(stderr, "usage: regsvr [/u] [/s] LIBRARY\n"
                         "  /u  unregister (calls DllUnregisterServer)\n"
                         "  /s  silent: report failures by the exit code only\n"
                         "Switches may also be written -u and -s.\n");
    return 1;
}

bool IsSwitch(const std::string& argument, char name)
{
    return argument.size() == 2 && (argument[0] == '/' || argument[0] == '-') &&
           (argument[1] == name || argument[1] == name - 'a' + 'A');
}
}  // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    bool silent = false;
    std::string library;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (IsSwitch(argument, 'u'))
            unregister = true;
        else if (IsSwitch(argument, 's'))
            silent = true;
        else if (library.empty() && !argument.empty())
            library = argument;
        else
            return Usage();
    }
    if (library.empty())
        return Usage();

    // A path, not a name for the loader's search: the library registers where it lies.
    std::error_code error;
    if (library.find('/') != std::string::npos || std::filesystem::exists(library, error))
        library = std::filesystem::absolute(library, error).lexically_normal().string();

    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (!silent) {
            const char* reason = dlerror();
            std::fprintf(stderr, "regsvr: cannot load %s: %s\n", library.c_str(), reason ? reason : "unknown error");
        }
        return 3;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<DllRegisterServerFunction>(dlsym(handle, entryName));
    if (!entry) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s was loaded, but the %s entry point was not found.\n", library.c_str(),
                         entryName);
        return 4;
    }
    const HRESULT result = entry();
    // The library stays loaded until the process ends: its static objects may hold Qt state.
    if (result < 0) {
        if (!silent)
            std::fprintf(stderr, "regsvr: %s in %s failed. Return code was: 0x%08x\n", entryName, library.c_str(),
                         static_cast<unsigned>(result));
        return 5;
    }
    if (!silent)
        std::printf("%s in %s succeeded.\n", entryName, library.c_str());
    return 0;
}
