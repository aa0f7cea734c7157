#pragma once

#include <string>
#include <string_view>
#include <vector>

// Lists the classes of a JAR or ZIP archive held in memory (an upload).
class CJarLister
{
public:
    struct CListing
    {
        bool ok = false;
        std::string error;
        size_t entries = 0;
        std::vector<std::string> classes;  // dotted, inner classes with "$", in archive order
    };

    static CListing List(std::string_view archive);

    // "com/acme/Parser$Node.class" gives "com.acme.Parser": the name the lookup server knows.
    static std::string TopLevelName(const std::string& className);

    static constexpr size_t kMaxEntries = 200000;
};
