#include "ReportStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include <dirent.h>
#include <sys/stat.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "FileUtil.h"
#include "GeneratedXml.h"

namespace
{
std::string FileName(int number)
{
    char name[32];
    std::snprintf(name, sizeof name, "%06d.xml", number);
    return name;
}

std::string UtcNow()
{
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}
}  // namespace

bool CReportStore::Open(const std::string& stateDir, std::string& error)
{
    m_folder = stateDir + "/reports";
    if (::mkdir(m_folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + m_folder;
        return false;
    }
    if (DIR* dir = ::opendir(m_folder.c_str())) {
        while (dirent* entry = ::readdir(dir))
            m_next = std::max(m_next, std::atoi(entry->d_name) + 1);
        ::closedir(dir);
    }
    return true;
}

int CReportStore::Store(const std::string& kind, const std::map<std::string, std::string>& fields)
{
    std::lock_guard lock(m_mutex);
    int number = m_next;
    CGeneratedXml report("report");
    report.SetAttribute(report.Root(), "number", std::to_string(number));
    report.SetAttribute(report.Root(), "kind", kind);
    report.SetAttribute(report.Root(), "received", UtcNow());
    for (const auto& [name, value] : fields)
        report.Add(nullptr, name, value.substr(0, kMaxField));
    xmlChar* text = nullptr;
    int length = 0;
    xmlDocDumpFormatMemoryEnc(report.Doc(), &text, &length, "UTF-8", 1);
    std::string content(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    xmlFree(text);
    if (!WriteFileAtomically(m_folder + "/" + FileName(number), content, 0600))
        return 0;
    ++m_next;
    return number;
}

std::vector<CReportStore::CReport> CReportStore::ReportsOf(const std::string& email)
{
    std::vector<CReport> reports;
    if (email.empty())
        return reports;
    std::lock_guard lock(m_mutex);
    for (int number = m_next - 1; number >= 1 && reports.size() < 50; --number) {
        std::string path = m_folder + "/" + FileName(number);
        std::string text;
        if (ReadWholeFile(path, text, 1024 * 1024) != CReadResult::Ok)
            continue;
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (!doc)
            continue;
        CReport report;
        report.number = number;
        xmlNodePtr root = xmlDocGetRootElement(doc);
        if (xmlChar* kind = root ? xmlGetProp(root, reinterpret_cast<const xmlChar*>("kind")) : nullptr) {
            report.kind = reinterpret_cast<const char*>(kind);
            xmlFree(kind);
        }
        for (xmlNodePtr field = root ? root->children : nullptr; field; field = field->next) {
            if (field->type != XML_ELEMENT_NODE)
                continue;
            xmlChar* value = xmlNodeGetContent(field);
            report.fields[reinterpret_cast<const char*>(field->name)] = value ? reinterpret_cast<const char*>(value) : "";
            xmlFree(value);
        }
        if (xmlChar* received = root ? xmlGetProp(root, reinterpret_cast<const xmlChar*>("received")) : nullptr) {
            report.fields["received"] = reinterpret_cast<const char*>(received);
            xmlFree(received);
        }
        xmlFreeDoc(doc);
        if (report.fields["email"] == email)
            reports.push_back(std::move(report));
    }
    return reports;
}
