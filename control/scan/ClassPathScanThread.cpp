#include "ClassPathScanThread.h"

#include <algorithm>
#include <map>

#include "ErrorReport.h"
#include "FileUtil.h"
#include "LocationWalk.h"
#include "Messages.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "XmlDocument.h"

namespace
{
constexpr char kListSeparator = ':';
constexpr const char* kIndexFile = "Local/components.xml";

// Only these four spellings name an archive; anything else (A.Jar, a short name) is a directory.
bool IsArchive(const std::string& element)
{
    if (element.size() < 5)
        return false;
    return element.ends_with(".jar") || element.ends_with(".JAR") || element.ends_with(".zip") ||
           element.ends_with(".ZIP");
}
}  // namespace

CClassPathScanThread::CClassPathScanThread(CPrefixCache& cache) : m_connection(cache) {}

void CClassPathScanThread::StartWork()
{
    CollectNames();
    if (!m_locations.empty()) {
        m_locationScan = std::make_unique<CLocationScan>(m_connection, [this] { return Connect(); });
        m_locationScan->Walk(m_locations, [this] { return IsStopFlagSet(); });
    }
    // Cancelled during the walk: nothing to look up, and no server to bother.
    if (IsStopFlagSet())
        return;
    m_position = 0;
    m_item = 0;
    m_lookupFailed = !Connect();
    m_connection.SetRateLimit(GetLookupRate());
    Post(WM_SCAN_STARTED, static_cast<LPARAM>(m_names.size() + GetItemCount()));
}

bool CClassPathScanThread::Connect()
{
    CServerAddress server = m_lookupServer ? *m_lookupServer : LookupServer();
    m_lookupRequests += m_connection.GetRequestCount();
    return m_connection.Connect(server.host, server.port);
}

void CClassPathScanThread::CollectNames()
{
    std::vector<std::pair<std::string, std::string>> found;  // name, element
    size_t start = 0;
    while (start <= m_classPath.size() && !IsStopFlagSet()) {
        size_t end = m_classPath.find(kListSeparator, start);
        if (end == std::string::npos)
            end = m_classPath.size();
        std::string element = m_classPath.substr(start, end - start);
        start = end + 1;
        // An empty element would walk the whole file system from its root.
        if (element.empty())
            continue;
        std::vector<std::string> names;
        if (IsArchive(element)) {
            m_jarScan.GetClasses(element, names);
        } else {
            CLocationWalk walk(false, [this] { return IsStopFlagSet(); });
            walk.Walk(element);
            for (const auto& [root, treeNames] : walk.GetTrees())
                names.insert(names.end(), treeNames.begin(), treeNames.end());
        }
        for (std::string& name : names)
            found.emplace_back(std::move(name), element);
    }
    // Byte order; equal names stay, each occurrence counts.
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [name, element] : found) {
        m_names.push_back(std::move(name));
        m_nameSources.push_back(std::move(element));
    }
}

void CClassPathScanThread::DoWork()
{
    if (m_position < m_names.size()) {
        LookUpNextName();
        return;
    }
    if (m_item < GetItemCount()) {
        Post(WM_SCAN_ITEM, static_cast<LPARAM>(m_item));
        const size_t before = m_locationScan->GetNamesLookedUp();
        if (!m_lookupFailed && !m_locationScan->ScanItem(m_item))
            m_lookupFailed = true;
        m_namesLookedUp += m_locationScan->GetNamesLookedUp() - before;
        ++m_item;
        Post(WM_SCAN_PROGRESS, 0);
        return;
    }
    SetStopFlag();
    Post(WM_SCAN_PROGRESS, 0);
}

// One name per step; its repeats (adjacent, the list is sorted) are answered in the same
// step, each occurrence with the same SCIDs.
void CClassPathScanThread::LookUpNextName()
{
    const std::string& name = m_names[m_position];
    size_t repeats = 1;
    while (m_position + repeats < m_names.size() && m_names[m_position + repeats] == name)
        ++repeats;
    std::vector<std::string> scids;
    m_connection.FindScids(name, scids);
    ++m_namesLookedUp;
    for (size_t i = 0; i < repeats; ++i) {
        for (const std::string& scid : scids) {
            m_results.push_back(scid);
            m_resultSources.push_back(m_nameSources[m_position + i]);
        }
        Post(WM_SCAN_PROGRESS, 0);
    }
    m_position += repeats;
}

void CClassPathScanThread::EndWork()
{
    m_lookupRequests += m_connection.GetRequestCount();
    m_connection.Close();
    if (GetStatus() == 0 && m_saveIndex)
        SaveResults();
    Post(WM_SCAN_FINISHED, 0);
}

std::string CClassPathScanThread::GetOutputPath() const
{
    std::string path = GetDataDirectory() + kIndexFile;
    if (!m_direct)
        path += "_new";
    return path;
}

std::vector<CFoundComponent> CClassPathScanThread::GetComponents() const
{
    std::vector<CFoundComponent> components;
    std::map<std::string, size_t> at;
    // The CLASSPATH's finds: per component, per element, how many classes.
    std::map<std::pair<std::string, std::string>, size_t> classes;
    for (size_t i = 0; i < m_results.size(); ++i) {
        if (at.emplace(m_results[i], components.size()).second)
            components.push_back({m_results[i], {}});
        if (classes[{m_results[i], m_resultSources[i]}]++ == 0)
            components[at[m_results[i]]].finds.push_back({m_resultSources[i], CMatch::Direct, 0});
    }
    for (CFoundComponent& component : components)
        for (CFind& find : component.finds)
            find.classes = classes[{component.scid, find.path}];
    if (m_locationScan) {
        for (const CFoundComponent& found : m_locationScan->GetComponents()) {
            auto [entry, added] = at.emplace(found.scid, components.size());
            if (added)
                components.push_back({found.scid, {}});
            auto& finds = components[entry->second].finds;
            finds.insert(finds.end(), found.finds.begin(), found.finds.end());
        }
    }
    return components;
}

bool CClassPathScanThread::FetchCatalogue(std::string& error)
{
    // Each component once, in the order first found.
    std::vector<std::string> scids;
    for (const CFoundComponent& component : GetComponents())
        scids.push_back(component.scid);
    return m_catalogue.Fetch(m_webServer ? *m_webServer : GetComponentWebServer(), scids, error);
}

bool CClassPathScanThread::SaveResults()
{
    std::string error;
    if (!FetchCatalogue(error)) {
        // A partial index would lose the user's components: keep the file as it was.
        ReportError(error, "CLocalItemDataManager::ScanClassPath()");
        return false;
    }
    const std::string path = GetOutputPath();
    CXmlDocument index;
    if (!index.Load(path))
        index.SetDocumentElement(index.CreateElement("components"));
    // The previous entries go; the root element and its attributes stay.
    CXmlNode root = index.GetDocumentElement();
    if (!root) {
        ReportError("cannot create the index document", "CClassPathScanThread::SaveResults");
        return false;
    }
    while (CXmlNode child = root.GetFirstChild())
        root.RemoveChild(child);

    // The CLASSPATH's: one entry per SCID occurrence. The locations': one per component,
    // with the places it was found.
    for (const std::string& scid : m_results)
        for (const CXmlNode& component : m_catalogue.GetComponents(scid))
            root.AppendChild(component);
    if (m_locationScan) {
        for (const CFoundComponent& found : m_locationScan->GetComponents()) {
            for (const CXmlNode& component : m_catalogue.GetComponents(found.scid)) {
                CXmlNode entry = root.AppendChild(component);
                for (const CFind& find : found.finds) {
                    CXmlNode place = entry.AppendChild(index.CreateElement("foundIn"));
                    place.SetAttribute("path", find.path);
                    place.SetAttribute("match", MatchName(find.match));
                    place.SetAttribute("classes", std::to_string(find.classes));
                }
            }
        }
    }

    sys::mkdir(DirectoryOf(path).c_str(), 0755);
    if (!index.Save(path)) {
        ReportError("cannot write " + path, "CClassPathScanThread::SaveResults");
        return false;
    }
    return true;
}

void CClassPathScanThread::Post(unsigned message, LPARAM lParam)
{
    if (IsWindow(m_dialog))
        PostMessage(m_dialog, message, GetThreadId(), lParam);
}
