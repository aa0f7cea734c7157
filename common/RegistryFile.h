#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The settings store's text file in the .reg format of Windows' registry editor.
// Only string values are understood; every other line is kept as it stands, so a
// rewrite never loses what a user or another tool put into the file.
class CRegistryFile
{
public:
    // Parses text; anything that is not a section or a string value is kept verbatim.
    static CRegistryFile Parse(std::string_view text);
    std::string Serialize() const;

    bool HasKey(std::string_view keyPath) const;
    // The string value, or nothing when the key or the value is missing.
    std::optional<std::string> GetValue(std::string_view keyPath, std::string_view name) const;
    // Every string value of the key (name, text) in file order; empty for a missing key.
    std::vector<std::pair<std::string, std::string>> GetValues(std::string_view keyPath) const;
    // False when the key does not exist: values are never written into a missing key.
    bool SetValue(std::string_view keyPath, std::string_view name, std::string_view text);
    // Adds the key (and no parent) when it is missing.
    void CreateKey(std::string_view keyPath);
    // Removes the key with its values and every key below it.
    bool DeleteKey(std::string_view keyPath);

    // The path of the file: $CORVANE_REGISTRY, else $XDG_CONFIG_HOME/corvane/registry.reg.
    static std::string DefaultPath();

    // The file a path names once its symbolic links are followed: writes go there, so a
    // link the user made stays a link.
    static std::string ResolveLinks(const std::string& path);
    // Why an existing file at path cannot serve as the registry (a folder, unreadable, too
    // large); empty when it can or when there is none yet.
    static std::string Problem(const std::string& path);

    // Reads the file without locking; a missing or unreadable file reads as empty.
    static CRegistryFile Load(const std::string& path);
    // Locks the file against other writers, re-reads it, lets change() edit it and,
    // when change() answers true, replaces the file atomically (mode 0600).
    template <typename Change>
    static bool Update(const std::string& path, bool createIfMissing, Change change)
    {
        return UpdateImpl(path, createIfMissing, &change,
                          [](void* c, CRegistryFile& file) { return (*static_cast<Change*>(c))(file); });
    }

private:
    struct CEntry
    {
        std::string raw;               // the original text, for lines that are not string values
        std::optional<std::string> name;  // set for string values; "" is the default value (@)
        std::string value;
    };
    struct CSection
    {
        std::string path;  // empty for the lines before the first section
        std::string header;
        std::vector<CEntry> entries;
    };

    const CSection* FindSection(std::string_view keyPath) const;
    CSection* FindSection(std::string_view keyPath);
    static bool UpdateImpl(const std::string& path, bool createIfMissing, void* change,
                           bool (*call)(void*, CRegistryFile&));

    std::vector<CSection> m_sections;
};
