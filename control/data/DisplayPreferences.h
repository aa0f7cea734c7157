#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// "preferences.xml" in the data directory: which Java technologies the Java tab shows.
// Read by the Java collection, written by the Options dialog.
class CDisplayPreferences
{
public:
    // Technology name to its show flag; the first entry of a name counts and a name without
    // one is shown. False when the file cannot be read. The error reports name the caller:
    // loadContext for the file, owner for an attribute.
    static bool Read(std::map<std::string, bool>& shown, const char* loadContext, std::string_view owner);
    // Whether the Java tab shows technology, by what Read gave.
    static bool IsShown(const std::map<std::string, bool>& shown, const std::string& technology);

    // Replaces the display list by technologies (name, shown), in their order, and keeps the
    // rest of the file; a file that cannot be read is started anew. Written beside and
    // renamed over the old file.
    static bool Write(const std::vector<std::pair<std::string, bool>>& technologies);

    static std::string Path();
};
