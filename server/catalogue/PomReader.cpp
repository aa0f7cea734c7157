#include "PomReader.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace
{
bool IsElement(const xmlNode* node, std::string_view name)
{
    return node->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(node->name);
}

// The element's own text and CDATA with runs of white space made one blank. Entity
// references are not followed: a POM needs none, and a hostile one gains nothing.
std::string TextOf(const xmlNode* element)
{
    std::string text;
    bool blank = false;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if ((child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) || !child->content)
            continue;
        for (const char* c = reinterpret_cast<const char*>(child->content); *c; ++c) {
            if (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r') {
                blank = !text.empty();
                continue;
            }
            if (blank)
                text += ' ';
            blank = false;
            text += *c;
            if (text.size() >= CPomReader::kMaxValueLength)
                return text;
        }
    }
    return text;
}

using CValues = std::map<std::string, std::string>;

// ${key} replaced by its value wherever the project defines key; unknown keys stay.
std::string Interpolated(const std::string& value, const CValues& values)
{
    std::string text = value;
    size_t from = 0;
    for (size_t substitutions = 0; substitutions < CPomReader::kMaxSubstitutions; ++substitutions) {
        const size_t open = text.find("${", from);
        if (open == std::string::npos)
            break;
        const size_t close = text.find('}', open + 2);
        if (close == std::string::npos)
            break;
        const auto found = values.find(text.substr(open + 2, close - open - 2));
        if (found == values.end() || text.size() + found->second.size() > CPomReader::kMaxValueLength) {
            from = close + 1;  // unknown: left as written
            continue;
        }
        // A value may itself hold ${...}: scanning again from the same place expands it,
        // and the bound on substitutions ends a value that refers to itself.
        text.replace(open, close - open + 1, found->second);
        from = open;
    }
    return text;
}

bool ReadWhole(const std::string& path, std::string& content)
{
    // Only plain files: a pipe or a device under a POM's name would never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    content.assign(CPomReader::kMaxPomBytes + 1, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (in.bad())
        return false;
    content.resize(static_cast<size_t>(in.gcount()));
    return content.size() <= CPomReader::kMaxPomBytes;
}
}  // namespace

std::optional<CPom> CPomReader::Parse(std::string_view xml)
{
    // No network, no DTD loading, no entity substitution; errors are values, not output.
    if (xml.size() > kMaxPomBytes)
        return std::nullopt;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    const std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> document(
        xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "pom.xml", nullptr, options), xmlFreeDoc);
    const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (!root || !IsElement(root, "project"))
        return std::nullopt;
    CPom pom;
    CProject& project = pom.project;
    const std::pair<std::string_view, std::string*> fields[] = {
        {"groupId", &project.groupId},     {"artifactId", &project.artifactId}, {"version", &project.version},
        {"packaging", &project.packaging}, {"name", &project.name},             {"description", &project.description},
        {"url", &project.url},
    };
    for (const xmlNode* node = root->children; node; node = node->next) {
        for (const auto& [name, field] : fields)
            if (IsElement(node, name))
                *field = TextOf(node);
        if (IsElement(node, "parent")) {
            for (const xmlNode* part = node->children; part; part = part->next) {
                if (IsElement(part, "groupId"))
                    pom.parentGroupId = TextOf(part);
                else if (IsElement(part, "artifactId"))
                    pom.parentArtifactId = TextOf(part);
                else if (IsElement(part, "version"))
                    pom.parentVersion = TextOf(part);
            }
        } else if (IsElement(node, "organization")) {
            for (const xmlNode* part = node->children; part; part = part->next)
                if (IsElement(part, "name"))
                    project.organization = TextOf(part);
        } else if (IsElement(node, "licenses")) {
            for (const xmlNode* licence = node->children; licence; licence = licence->next) {
                if (!IsElement(licence, "license"))
                    continue;
                CLicence entry;
                for (const xmlNode* part = licence->children; part; part = part->next) {
                    if (IsElement(part, "name"))
                        entry.name = TextOf(part);
                    else if (IsElement(part, "url"))
                        entry.url = TextOf(part);
                }
                if (!entry.name.empty() || !entry.url.empty())
                    project.licences.push_back(std::move(entry));
            }
        } else if (IsElement(node, "properties")) {
            for (const xmlNode* property = node->children; property; property = property->next)
                if (property->type == XML_ELEMENT_NODE)
                    pom.properties.emplace_back(reinterpret_cast<const char*>(property->name), TextOf(property));
        }
    }
    if (project.artifactId.empty())
        return std::nullopt;
    return pom;
}

void CPomReader::AddPom(const std::string& group, const std::string& artifact, const std::string& version,
                        const std::string& path)
{
    m_index.emplace(std::make_tuple(group, artifact, version), path);
}

const CPom* CPomReader::Load(const std::string& path)
{
    const auto found = m_parsed.find(path);
    if (found != m_parsed.end())
        return found->second ? &*found->second : nullptr;
    std::string content;
    std::optional<CPom> pom;
    if (ReadWhole(path, content))
        pom = Parse(content);
    if (!pom)
        m_broken.insert(path);
    const auto& stored = m_parsed.emplace(path, std::move(pom)).first->second;
    return stored ? &*stored : nullptr;
}

std::optional<CProject> CPomReader::Read(const std::string& path)
{
    const CPom* pom = Load(path);
    if (!pom)
        return std::nullopt;
    // The POM and its ancestors, nearest first.
    std::vector<const CPom*> chain{pom};
    std::set<std::string> seen{path};
    while (chain.size() <= kMaxParents) {
        const CPom& child = *chain.back();
        const auto parent = m_index.find({child.parentGroupId, child.parentArtifactId, child.parentVersion});
        if (child.parentArtifactId.empty() || parent == m_index.end() || !seen.insert(parent->second).second)
            break;
        const CPom* loaded = Load(parent->second);
        if (!loaded)
            break;
        chain.push_back(loaded);
    }

    CProject project = pom->project;
    if (project.groupId.empty())
        project.groupId = pom->parentGroupId;
    if (project.version.empty())
        project.version = pom->parentVersion;
    if (project.packaging.empty())
        project.packaging = "jar";
    for (const CPom* ancestor : chain) {
        if (project.description.empty())
            project.description = ancestor->project.description;
        if (project.url.empty())
            project.url = ancestor->project.url;
        if (project.organization.empty())
            project.organization = ancestor->project.organization;
        if (project.licences.empty())
            project.licences = ancestor->project.licences;
    }

    // Properties of the nearest POM win; the project's own coordinates are built in.
    CValues values;
    for (auto ancestor = chain.rbegin(); ancestor != chain.rend(); ++ancestor)
        for (const auto& [key, value] : (*ancestor)->properties)
            values[key] = value;
    for (const char* prefix : {"project.", "pom."}) {
        values[std::string(prefix) + "groupId"] = project.groupId;
        values[std::string(prefix) + "artifactId"] = project.artifactId;
        values[std::string(prefix) + "version"] = project.version;
    }
    // The old bare forms, unless a property of that name says otherwise.
    values.emplace("groupId", project.groupId);
    values.emplace("artifactId", project.artifactId);
    values.emplace("version", project.version);
    values["project.parent.groupId"] = values["parent.groupId"] = pom->parentGroupId;
    values["project.parent.artifactId"] = values["parent.artifactId"] = pom->parentArtifactId;
    values["project.parent.version"] = values["parent.version"] = pom->parentVersion;
    for (std::string* field : {&project.groupId, &project.version, &project.packaging, &project.name,
                               &project.description, &project.url, &project.organization})
        *field = Interpolated(*field, values);
    for (CLicence& licence : project.licences) {
        licence.name = Interpolated(licence.name, values);
        licence.url = Interpolated(licence.url, values);
    }
    return project;
}
