#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a compiled Java class file says about itself. A class found in a folder is named by
// the class it declares, not by its file name or place, so an unpacked or copied tree is
// named as the archive it came from would be.
class CClassFile
{
public:
    // The declared class in the internal form ("com/acme/util/Parser$Node"); nothing when
    // the bytes are not a whole class file up to that point.
    static std::optional<std::string> ReadDeclaredName(std::string_view bytes);

    // The looked-up name of an internal name, as archive entries give it: separators become
    // '.', and the name ends at the first '$' (inner classes fold into their outer class).
    static std::string LookupName(std::string_view internalName);

    // Class files larger than this are not read.
    static constexpr size_t kMaxSize = 16 * 1024 * 1024;
};
