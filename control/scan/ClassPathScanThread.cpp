#include "ClassPathScanThread.h"

#include <algorithm>
#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>

#include "ErrorReport.h"
#include "FileUtil.h"
#include "Messages.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "VendorServers.h"
#include "XmlDocument.h"

namespace
{
constexpr char kListSeparator = ':';
constexpr const char* kIndexFile = "Local/components.xml";
constexpr const char* kCategoryByScid =
    "/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/categorybyscid.xsl&scid=";

bool EndsWith(const std::string& text, const char* ending)
{
    std::string_view end(ending);
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Only these four spellings name an archive; anything else (A.Jar, a short name) is a directory.
bool IsArchive(const std::string& element)
{
    if (element.size() < 5)
        return false;
    return EndsWith(element, ".jar") || EndsWith(element, ".JAR") || EndsWith(element, ".zip") ||
           EndsWith(element, ".ZIP");
}
}  // namespace

CClassPathScanThread::CClassPathScanThread(CPrefixCache& cache) : m_connection(cache) {}

void CClassPathScanThread::StartWork()
{
    CollectNames();
    // Cancelled during the walk: nothing to look up, and no server to bother.
    if (IsStopFlagSet())
        return;
    // Byte order; equal names stay, each is looked up.
    std::stable_sort(m_names.begin(), m_names.end());
    m_position = 0;

    CServerAddress server = LookupServer();
    m_connection.Connect(server.host, server.port);
    Post(WM_SCAN_STARTED, static_cast<LPARAM>(m_names.size()));
}

void CClassPathScanThread::CollectNames()
{
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
        if (IsArchive(element)) {
            m_jarScan.GetClasses(element, m_names);
        } else {
            std::vector<CDirectoryId> ancestors;
            WalkDirectory(element, ancestors);
        }
    }
}

void CClassPathScanThread::WalkDirectory(const std::string& directory, std::vector<CDirectoryId>& ancestors)
{
    struct stat st{};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    // A symbolic link back up the tree would otherwise be walked forever.
    CDirectoryId id{st.st_dev, st.st_ino};
    if (std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end())
        return;

    DIR* dir = ::opendir(directory.c_str());
    if (!dir)
        return;
    std::vector<std::string> subdirectories;
    // Cancel must be noticed also inside a large folder.
    while (dirent* entry = IsStopFlagSet() ? nullptr : ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        std::string path = directory + "/" + name;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target{};
            isDirectory = ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        }
        if (isDirectory)
            subdirectories.push_back(std::move(path));
        else if (EndsWith(name, ".class"))
            m_names.push_back(name);  // the bare file name, as found
    }
    ::closedir(dir);

    ancestors.push_back(id);
    for (const std::string& subdirectory : subdirectories) {
        if (IsStopFlagSet())
            break;
        WalkDirectory(subdirectory, ancestors);
    }
    ancestors.pop_back();
}

void CClassPathScanThread::DoWork()
{
    if (m_position >= m_names.size()) {
        SetStopFlag();
    } else {
        std::vector<std::string> scids;
        m_connection.FindScids(m_names[m_position], scids);
        m_results.insert(m_results.end(), std::make_move_iterator(scids.begin()),
                         std::make_move_iterator(scids.end()));
        ++m_position;
    }
    Post(WM_SCAN_PROGRESS, 0);
}

void CClassPathScanThread::EndWork()
{
    m_connection.Close();
    if (GetStatus() == 0)
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

bool CClassPathScanThread::SaveResults()
{
    const std::string path = GetOutputPath();
    CXmlDocument index;
    if (!index.Load(path)) {
        CXmlNode root = index.CreateElement("components");
        index.SetDocumentElement(root);
    }
    // The previous entries go; the root element and its attributes stay.
    CXmlNode root = index.GetDocumentElement();
    if (!root) {
        ReportError("cannot create the index document", "CClassPathScanThread::SaveResults");
        return false;
    }
    while (CXmlNode child = root.GetFirstChild())
        root.RemoveChild(child);

    const std::string base = GetComponentWebServer() + kCategoryByScid;
    CXmlDocument entry;
    for (const std::string& scid : m_results) {
        if (!entry.Load(base + scid)) {
            // A partial index would lose the user's components: keep the file as it was.
            ReportError(entry.GetParseError().reason, "CLocalItemDataManager::ScanClassPath()");
            return false;
        }
        for (const CXmlNode& component : entry.GetElementsByTagName("component"))
            root.AppendChild(component);
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
