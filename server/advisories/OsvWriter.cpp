#include "OsvWriter.h"

#include <nlohmann/json.hpp>

namespace
{
const char* EventName(COsvEvent::EKind kind)
{
    switch (kind) {
    case COsvEvent::EKind::Introduced: return "introduced";
    case COsvEvent::EKind::Fixed: return "fixed";
    case COsvEvent::EKind::LastAffected: return "last_affected";
    case COsvEvent::EKind::Limit: return "limit";
    case COsvEvent::EKind::Invalid: break;
    }
    return "invalid";
}
}  // namespace

std::string WriteOsvRecord(const COsvRecord& record)
{
    using json = nlohmann::json;
    json root = {{"id", record.id}, {"modified", record.modifiedText}, {"aliases", record.aliases}};
    if (!record.published.empty())
        root["published"] = record.published;
    if (record.withdrawn)
        root["withdrawn"] = *record.withdrawn;
    if (!record.summary.empty())
        root["summary"] = record.summary;
    if (!record.details.empty())
        root["details"] = record.details;
    if (!record.severity.empty()) {
        json& severity = root["severity"] = json::array();
        for (const COsvSeverity& entry : record.severity)
            severity.push_back({{"type", entry.type}, {"score", entry.score}});
    }
    if (!record.databaseSeverity.empty())
        root["database_specific"] = {{"severity", record.databaseSeverity}};
    json& affected = root["affected"] = json::array();
    for (const COsvAffected& entry : record.affected) {
        json ranges = json::array();
        for (const COsvRange& range : entry.ranges) {
            json events = json::array();
            // An event the reader could not name is kept as an object it refuses again, so
            // that the record stays out of matching after a round through the store.
            for (const COsvEvent& event : range.events)
                events.push_back({{EventName(event.kind), event.text}});
            ranges.push_back({{"type", range.type}, {"events", std::move(events)}});
        }
        json item = {{"package", {{"ecosystem", "Maven"}, {"name", entry.package}}}, {"ranges", std::move(ranges)}};
        if (!entry.versionTexts.empty())
            item["versions"] = entry.versionTexts;
        affected.push_back(std::move(item));
    }
    // Texts come from any file: invalid UTF-8 is replaced, never a throw.
    return root.dump(-1, ' ', false, json::error_handler_t::replace);
}
