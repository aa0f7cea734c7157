#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

// What nm -D --defined-only lists for a shared library: one name per defined dynamic symbol.
static std::set<std::string> DefinedDynamicSymbols(const std::string& library)
{
    std::set<std::string> names;
    std::string command = std::string(NM_PROGRAM) + " -D --defined-only " + library;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return names;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream words(line);
        std::string address, type, name;
        if (words >> address >> type >> name)
            names.insert(name);
    }
    ::pclose(pipe);
    return names;
}

TEST(BridgeExportsTest, NineJniNamesAndTheThreeOperationsAreAllTheLibraryExports)
{
    std::set<std::string> expected = {"launchExternal", "openDialogWindow", "openJavaTab"};
    for (const char* plugin : {"forte", "jbuilder", "vc"})
        for (const char* method : {"launchExternal", "openDialogWindow", "openJavaTab"})
            expected.insert(std::string("Java_com_quorbix_ide_") + plugin + "_KeshJNIBridge_" + method);
    EXPECT_EQ(DefinedDynamicSymbols(BRIDGE_LIBRARY), expected);
}
