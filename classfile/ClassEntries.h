#pragma once

#include <string>
#include <string_view>
#include <vector>

// Which entries of an archive are classes to look up, and by which names. Outside
// META-INF/ an entry with ".class" anywhere in its path counts: com/acme/util/Parser.class
// and com/acme/util/Parser$Node.class both give com.acme.util.Parser. Below META-INF/ only
// the classes of a multi-release archive count, META-INF/versions/N/com/acme/A.class giving
// com.acme.A, and only where the archive's base holds no class of that name: a versioned
// copy is the same class. module-info and package-info are descriptors, not classes.
class CClassEntries
{
public:
    // Takes one entry path, in archive order.
    void Add(std::string_view entry);
    // Appends the names taken, in archive order, then those held only under
    // META-INF/versions/, each once; starts anew.
    void MoveTo(std::vector<std::string>& names);

    // The path below META-INF/versions/N/ of a multi-release archive's entry; empty when
    // the entry is not versioned.
    static std::string_view VersionedPath(std::string_view entry);
    // The name the class of one entry is looked up by, for a base entry or a versioned one
    // alike; false for an entry that is no class to look up.
    static bool NameOf(std::string_view entry, std::string& name);
    // Whether a looked-up name names a class (module-info and package-info do not).
    static bool IsClassName(std::string_view name);

    // Longer entry paths are skipped.
    static constexpr size_t kMaxEntryLength = 2047;

private:
    std::vector<std::string> m_names;
    std::vector<std::string> m_versioned;
};
