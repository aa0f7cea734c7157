#pragma once

#include <optional>
#include <string>
#include <string_view>

// The site directory that server/build-site writes. Every file the server reads on behalf
// of a request is found through Resolve, which keeps requests inside the directory.
class CSite
{
public:
    // Checks that dir holds a complete site; on failure error says what is missing.
    bool Open(const std::string& dir, std::string& error);

    const std::string& Root() const { return m_root; }

    // The real path of an existing file or directory below the root, or nothing when the
    // relative path is malformed (NUL, backslash, "..", a hidden segment), does not exist,
    // or leads outside the root (an absolute path, a symbolic link).
    std::optional<std::string> Resolve(std::string_view relative) const;
    // Like Resolve, for regular files only.
    std::optional<std::string> ResolveFile(std::string_view relative) const;

    // True when path (already real) lies inside the root.
    bool Contains(std::string_view realPath) const;

    // Files every site has.
    static constexpr const char* kJavaIndex = "public/data/java/index.xml";
    static constexpr const char* kCatalogue = "stores/components/vendors/components.bnd";
    static constexpr const char* kLookupTable = "lookup/classes.txt";
    static constexpr const char* kSiteInfo = "site.xml";

private:
    std::string m_root;
};

// Path segments joined with "/", or nothing for a path that must not be followed.
std::optional<std::string> NormaliseRelativePath(std::string_view relative);
