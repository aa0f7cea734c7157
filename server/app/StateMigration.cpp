#include "StateMigration.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "ClientRegistry.h"
#include "FileUtil.h"
#include "ServerStore.h"
#include "XmlCache.h"

namespace
{
constexpr size_t kMaxClientsFile = 1024 * 1024 * 1024;
constexpr size_t kMaxReportFile = 1024 * 1024;

std::string ClientsFile(const std::string& stateDir) { return stateDir + "/clients.txt"; }
std::string ReportsFolder(const std::string& stateDir) { return stateDir + "/reports"; }

bool Exists(const std::string& path)
{
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0;
}

// "id<TAB>e-mail<TAB>version<TAB>time", one registration a line; a last line without its
// line feed was cut short by a crash and never answered.
bool ReadClients(const std::string& stateDir, std::vector<CClientTable::CVisit>& visits, std::string& error)
{
    std::string text;
    CReadResult read = ReadWholeFile(ClientsFile(stateDir), text, kMaxClientsFile);
    if (read == CReadResult::Missing)
        return true;
    if (read != CReadResult::Ok) {
        error = "cannot read " + ClientsFile(stateDir);
        return false;
    }
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::vector<std::string> fields;
        size_t field = start;
        for (size_t tab; fields.size() < 3 && (tab = text.find('\t', field)) < end; field = tab + 1)
            fields.push_back(text.substr(field, tab - field));
        fields.push_back(text.substr(field, end - field));
        fields.resize(4);
        if (!CClientRegistry::IsClientId(fields[0]))
            continue;
        visits.push_back({std::stoull(fields[0]), fields[3], fields[1], fields[2]});
    }
    return true;
}

// One "NNNNNN.xml" file: <report number kind received> with a child element per field.
bool ReadReport(const std::string& path, CReportTable::CReport& report, std::string& error)
{
    std::string text;
    if (ReadWholeFile(path, text, kMaxReportFile) != CReadResult::Ok) {
        error = "cannot read " + path;
        return false;
    }
    CParsedXml parsed(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    xmlNodePtr root = parsed.Doc() ? xmlDocGetRootElement(parsed.Doc()) : nullptr;
    std::string number = root ? CParsedXml::Attribute(root, "number") : std::string();
    // A positive number, written as ids are.
    if (!root || !CParsedXml::IsElement(root, "report") || !CClientRegistry::IsClientId(number)) {
        error = path + " is not a report";
        return false;
    }
    report.number = std::stoll(number);
    report.kind = CParsedXml::Attribute(root, "kind");
    report.received = CParsedXml::Attribute(root, "received");
    for (xmlNodePtr field = root->children; field; field = field->next) {
        if (field->type != XML_ELEMENT_NODE)
            continue;
        std::string name = reinterpret_cast<const char*>(field->name);
        std::string* target = name == "email"      ? &report.email
                              : name == "platform" ? &report.platform
                              : name == "summary"  ? &report.summary
                              : name == "details"  ? &report.details
                                                   : nullptr;
        if (!target) {
            // Nothing is dropped on the way: a field the store has no place for stops the run.
            error = path + " has a field \"" + name + "\" the store does not keep";
            return false;
        }
        *target = CParsedXml::Text(field);
    }
    return true;
}

bool ReadReports(const std::string& stateDir, std::vector<CReportTable::CReport>& reports, std::string& error)
{
    DIR* dir = ::opendir(ReportsFolder(stateDir).c_str());
    if (!dir) {
        if (errno == ENOENT)
            return true;
        error = "cannot read " + ReportsFolder(stateDir);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        // Reports only: not the temporaries of a write that never finished.
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0 &&
            name.find_first_not_of("0123456789") == name.size() - 4)
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        CReportTable::CReport report;
        if (!ReadReport(ReportsFolder(stateDir) + "/" + name, report, error))
            return false;
        reports.push_back(std::move(report));
    }
    return true;
}

// path + ".migrated", or with a number when an earlier migration left that name.
bool KeepAside(const std::string& path, std::string& kept)
{
    if (!Exists(path))
        return true;
    kept = path + ".migrated";
    for (int n = 2; Exists(kept); ++n)
        kept = path + ".migrated-" + std::to_string(n);
    return std::rename(path.c_str(), kept.c_str()) == 0;
}
}  // namespace

bool CStateMigration::Pending(const std::string& stateDir)
{
    return Exists(ClientsFile(stateDir)) || Exists(ReportsFolder(stateDir));
}

bool CStateMigration::Run(const std::string& stateDir, CServerStore& store, std::string& summary, std::string& error)
{
    if (!Pending(stateDir)) {
        summary = "nothing to migrate in " + stateDir;
        return true;
    }
    std::vector<CClientTable::CVisit> visits;
    std::vector<CReportTable::CReport> reports;
    CServerStore::CImported imported;
    if (!ReadClients(stateDir, visits, error) || !ReadReports(stateDir, reports, error))
        return false;
    if (!store.Import(visits, reports, imported, error)) {
        error = "nothing migrated: " + error;
        return false;
    }
    summary = "migrated " + std::to_string(imported.clients) + " client ids (" + std::to_string(imported.visits) +
              " registrations) and " + std::to_string(imported.reports) + " reports from " + stateDir + " into the " +
              store.Describe();
    for (const auto& [old, now] : imported.renumbered)
        summary += "\nreport " + std::to_string(old) + " is now number " + std::to_string(now) +
                   " (its number was taken in the store)";
    std::string keptClients, keptReports;
    if (!KeepAside(ClientsFile(stateDir), keptClients) || !KeepAside(ReportsFolder(stateDir), keptReports)) {
        error = summary + "\nbut the old files could not be renamed; move " + ClientsFile(stateDir) + " and " +
                ReportsFolder(stateDir) + " aside before starting the server";
        return false;
    }
    for (const auto& kept : {keptClients, keptReports})
        if (!kept.empty())
            summary += "\nkept as " + kept;
    return true;
}
