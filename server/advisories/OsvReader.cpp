#include "OsvReader.h"

#include <nlohmann/json.hpp>

namespace
{
using json = nlohmann::json;

// The deepest nesting of arrays and objects, counted without parsing (strings skipped).
bool NestsWithin(std::string_view text, size_t maxDepth)
{
    size_t depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDepth)
                return false;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return true;
}

// Field readers: an absent field is fine, one of the wrong type makes the record malformed.
struct CFields
{
    std::string error;

    bool String(const json& object, const char* name, std::string& out, bool required = false)
    {
        auto found = object.find(name);
        if (found == object.end() || found->is_null()) {
            if (required)
                error = std::string("no \"") + name + "\"";
            return !required;
        }
        if (!found->is_string()) {
            error = std::string("\"") + name + "\" is not a string";
            return false;
        }
        out = found->get_ref<const std::string&>();
        return true;
    }

    // An array of objects or of strings under name; nullptr (and no error) when absent.
    const json* Array(const json& object, const char* name, bool ofStrings)
    {
        auto found = object.find(name);
        if (found == object.end() || found->is_null())
            return nullptr;
        bool ok = found->is_array();
        for (size_t i = 0; ok && i < found->size(); ++i)
            ok = ofStrings ? (*found)[i].is_string() : (*found)[i].is_object();
        if (!ok) {
            error = std::string("\"") + name + "\" is not an array of " + (ofStrings ? "strings" : "objects");
            return nullptr;
        }
        return &*found;
    }
};

bool IsMaven(const std::string& ecosystem) { return ecosystem == "Maven" || ecosystem.starts_with("Maven:"); }

bool IsCoordinate(const std::string& name)
{
    const size_t colon = name.find(':');
    return colon != std::string::npos && colon > 0 && colon + 1 < name.size() &&
           name.find(':', colon + 1) == std::string::npos;
}

bool IsPlainId(const std::string& id)
{
    if (id.empty() || id.size() > COsvReader::kMaxIdLength)
        return false;
    for (unsigned char c : id) {
        if (c <= ' ' || c == 0x7f)
            return false;
    }
    return true;
}

bool ReadEvent(CFields& fields, const json& object, COsvEvent& event)
{
    static const std::pair<const char*, COsvEvent::EKind> kinds[] = {
        {"introduced", COsvEvent::EKind::Introduced},
        {"fixed", COsvEvent::EKind::Fixed},
        {"last_affected", COsvEvent::EKind::LastAffected},
        {"limit", COsvEvent::EKind::Limit},
    };
    int found = 0;
    for (const auto& [name, kind] : kinds) {
        if (!object.contains(name))
            continue;
        if (!fields.String(object, name, event.text))
            return false;
        event.kind = kind;
        ++found;
    }
    if (found != 1)
        event.kind = COsvEvent::EKind::Invalid;
    else
        event.version = CMavenVersion::Parse(event.text);
    return true;
}

bool ReadSeverity(CFields& fields, const json& object, std::vector<COsvSeverity>& out)
{
    if (const json* severity = fields.Array(object, "severity", false)) {
        for (const json& entry : *severity) {
            COsvSeverity& item = out.emplace_back();
            if (!fields.String(entry, "type", item.type) || !fields.String(entry, "score", item.score))
                return false;
        }
    }
    return fields.error.empty();
}

bool ReadAffected(CFields& fields, const json& object, COsvAffected& affected)
{
    if (const json* ranges = fields.Array(object, "ranges", false)) {
        for (const json& rangeObject : *ranges) {
            COsvRange& range = affected.ranges.emplace_back();
            if (!fields.String(rangeObject, "type", range.type, true))
                return false;
            const json* events = fields.Array(rangeObject, "events", false);
            if (!fields.error.empty())
                return false;
            for (size_t i = 0; events && i < events->size(); ++i) {
                if (!ReadEvent(fields, (*events)[i], range.events.emplace_back()))
                    return false;
            }
        }
    }
    if (!fields.error.empty())
        return false;
    if (const json* versions = fields.Array(object, "versions", true)) {
        for (const json& version : *versions)
            affected.versionTexts.push_back(version.get<std::string>());
    }
    return fields.error.empty();
}

bool ReadRecord(CFields& fields, const json& root, COsvRecord& record, bool& otherEcosystem)
{
    if (!fields.String(root, "id", record.id, true) || !fields.String(root, "modified", record.modifiedText, true))
        return false;
    if (!IsPlainId(record.id)) {
        fields.error = "\"id\" is empty, longer than 128 bytes or holds blanks or control characters";
        return false;
    }
    auto modified = COsvTime::Parse(record.modifiedText);
    if (!modified) {
        fields.error = "\"modified\" is not an RFC 3339 time";
        return false;
    }
    record.modified = *modified;
    std::string withdrawn;
    if (!fields.String(root, "published", record.published) || !fields.String(root, "withdrawn", withdrawn) ||
        !fields.String(root, "summary", record.summary) || !fields.String(root, "details", record.details))
        return false;
    if (root.contains("withdrawn") && !root["withdrawn"].is_null()) {
        if (!COsvTime::Parse(withdrawn)) {
            fields.error = "\"withdrawn\" is not an RFC 3339 time";
            return false;
        }
        record.withdrawn = withdrawn;
    }
    if (const json* aliases = fields.Array(root, "aliases", true)) {
        for (const json& alias : *aliases)
            record.aliases.push_back(alias.get<std::string>());
    }
    if (!ReadSeverity(fields, root, record.severity))
        return false;
    if (auto specific = root.find("database_specific"); specific != root.end() && specific->is_object()) {
        if (auto level = specific->find("severity"); level != specific->end() && level->is_string())
            record.databaseSeverity = level->get<std::string>();
    }
    const json* affected = fields.Array(root, "affected", false);
    if (!fields.error.empty())
        return false;
    size_t packages = 0;
    for (size_t i = 0; affected && i < affected->size(); ++i) {
        const json& entry = (*affected)[i];
        auto package = entry.find("package");
        if (package == entry.end() || !package->is_object())
            continue;
        ++packages;
        std::string ecosystem, name;
        if (!fields.String(*package, "ecosystem", ecosystem) || !fields.String(*package, "name", name))
            return false;
        if (!IsMaven(ecosystem))
            continue;
        if (!IsCoordinate(name)) {
            fields.error = "Maven package \"" + name.substr(0, 200) + "\" is not group:artifact";
            return false;
        }
        COsvAffected& maven = record.affected.emplace_back();
        maven.package = name;
        // A package's own severity stands where the record gives none for all.
        if (!ReadAffected(fields, entry, maven) || (record.severity.empty() && !ReadSeverity(fields, entry, record.severity)))
            return false;
        maven.Prepare();
        if (record.unevaluable.empty())
            record.unevaluable = maven.unevaluable;
    }
    otherEcosystem = packages > 0 && record.affected.empty();
    return true;
}
}  // namespace

COsvReader::CRead COsvReader::Read(std::string_view text, size_t maxDepth)
{
    CRead read;
    if (!NestsWithin(text, maxDepth)) {
        read.error = "nested deeper than " + std::to_string(maxDepth) + " levels";
        return read;
    }
    const json root = json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        read.error = root.is_discarded() ? "not JSON (or not UTF-8)" : "not a JSON object";
        return read;
    }
    CFields fields;
    bool otherEcosystem = false;
    if (!ReadRecord(fields, root, read.record, otherEcosystem)) {
        read.error = fields.error;
        read.record = {};
        return read;
    }
    read.result = otherEcosystem ? EResult::OtherEcosystem : EResult::Record;
    return read;
}
