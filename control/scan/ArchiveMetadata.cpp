#include "ArchiveMetadata.h"

#include <map>
#include <vector>

namespace
{
std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\f'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// The lines of a text, its line ends ("\n", "\r\n" or "\r") taken off.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\n' && text[i] != '\r')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

// A value that holds control characters is no name or version to report.
std::string Clean(std::string_view value)
{
    value = Trim(value);
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return {};
    return std::string(value.substr(0, 256));
}
}  // namespace

void CArchiveMetadata::ReadPomProperties(std::string_view text)
{
    if (text.size() > kMaxSize)
        return;
    std::map<std::string, std::string, std::less<>> values;
    for (std::string_view line : Lines(text)) {
        line = Trim(line);
        if (line.empty() || line.front() == '#' || line.front() == '!')
            continue;
        const size_t separator = line.find_first_of("=:");
        if (separator == std::string_view::npos)
            continue;
        values[std::string(Trim(line.substr(0, separator)))] = Clean(line.substr(separator + 1));
    }
    // Coordinates only as a whole: an artifact without its version says too little.
    if (values["artifactId"].empty())
        return;
    m_group = values["groupId"];
    m_artifact = values["artifactId"];
    m_pomVersion = values["version"];
}

void CArchiveMetadata::ReadManifest(std::string_view text)
{
    if (text.size() > kMaxSize)
        return;
    std::map<std::string, std::string, std::less<>> values;
    std::string key;
    for (std::string_view line : Lines(text)) {
        // An empty line ends the main section; the sections of single entries follow.
        if (line.empty())
            break;
        if (line.front() == ' ') {
            if (!key.empty())
                values[key] += line.substr(1);
            continue;
        }
        const size_t colon = line.find(": ");
        key = colon == std::string_view::npos ? "" : std::string(line.substr(0, colon));
        if (!key.empty())
            values[key] = line.substr(colon + 2);
    }
    m_implementationTitle = Clean(values["Implementation-Title"]);
    m_implementationVersion = Clean(values["Implementation-Version"]);
    m_implementationVendor = Clean(values["Implementation-Vendor"]);
    m_bundleName = Clean(values["Bundle-Name"]);
    const std::string symbolic = values["Bundle-SymbolicName"];
    m_bundleSymbolicName = Clean(symbolic.substr(0, symbolic.find(';')));
    m_bundleVersion = Clean(values["Bundle-Version"]);
    m_automaticModuleName = Clean(values["Automatic-Module-Name"]);
}

void CArchiveMetadata::ReadFileName(std::string_view path)
{
    const size_t slash = path.find_last_of("/!");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
        name = name.substr(0, dot);
    m_fileName.clear();
    m_fileVersion.clear();
    for (size_t i = 1; i + 1 < name.size(); ++i)
        if (name[i] == '-' && name[i + 1] >= '0' && name[i + 1] <= '9') {
            m_fileName = Clean(name.substr(0, i));
            m_fileVersion = Clean(name.substr(i + 1));
            return;
        }
    m_fileName = Clean(name);
}

std::string CArchiveMetadata::GetManifestName() const
{
    for (const std::string* name : {&m_implementationTitle, &m_bundleName, &m_bundleSymbolicName, &m_automaticModuleName})
        if (!name->empty())
            return *name;
    return {};
}

std::string CArchiveMetadata::GetManifestVersion() const
{
    return m_implementationVersion.empty() ? m_bundleVersion : m_implementationVersion;
}
