#include "JavaItemDataManager.h"

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "DisplayPreferences.h"
#include "DownloadIfNewer.h"
#include "ErrorReport.h"
#include "FileUtil.h"
#include "JavaItem.h"
#include "Settings.h"
#include "SystemCalls.h"
#include "VendorServers.h"
#include "VersionBlock.h"
#include "XmlAccess.h"

namespace
{
// Cleared by the first home URL of the process; later ones carry no query.
std::atomic<bool> g_firstHomeUrl{true};

// Any object of this file will do to find the binary that holds the code.
const char kModuleAnchor = 0;

bool CanOpenForReading(const std::string& path)
{
    int fd = sys::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

// "$" joins inner classes; a "$" before a digit marks an anonymous or local class, which
// is not listed.
bool ToShownClassName(std::string& name)
{
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '$')
            continue;
        if (i + 1 < name.size() && name[i + 1] >= '0' && name[i + 1] <= '9')
            return false;
        name[i] = '.';
    }
    return true;
}

// Fetches the package document and keeps its text as file. A failed fetch writes nothing.
void FetchPackageFile(const std::string& url, const std::string& directory, const std::string& file)
{
    CXmlDocument document;
    if (!document.Load(url)) {
        ReportError(document.GetParseError().reason + " (" + url + ")", "CJavaItemDataManager::ListChildItems");
        return;
    }
    std::string text = document.GetXml();
    if (text.empty())
        return;
    sys::mkdir(directory.c_str(), 0755);
    // Written beside and renamed into place: a torn write would be trusted forever.
    if (!WriteFileAtomically(file, text, 0644))
        ReportError("cannot write " + file, "CJavaItemDataManager::ListChildItems");
}
}  // namespace

CJavaItemDataManager::CJavaItemDataManager(IModalRunner& runner)
    : m_runner(runner)
{
}

CJavaItemDataManager::~CJavaItemDataManager() = default;

bool CJavaItemDataManager::UpdateIndex()
{
    if (IsOfflineMode())
        return true;
    // The loaded document stays as it is; the next manager reads the new file.
    DownloadIfNewer(m_runner, DistributionServer(), GetDistributionPath() + "/data/java/index.xml",
                    GetDataDirectory() + "Java/index.xml");
    return true;
}

bool CJavaItemDataManager::LoadTechnologies()
{
    std::lock_guard lock(m_indexMutex);
    if (m_indexDocument)
        return true;
    m_indexDocument = std::make_unique<CXmlDocument>();
    return OpenXmlDocument(m_indexDocument, GetDataDirectory() + "Java/index.xml",
                           "CJavaItemDataManager::LoadTechnologies()");
}

bool CJavaItemDataManager::ListDisplayTechnologies(std::map<std::string, bool>& technologies)
{
    return CDisplayPreferences::Read(technologies, "CJavaItemDataManager::ListDisplayTechnologies", "CItemDataManager");
}

void CJavaItemDataManager::ListIndexTechnologies(const CXmlDocument& index, CItemList& technologies,
                                                 std::string_view owner)
{
    for (const CXmlNode& node : index.GetElementsByTagName("technology")) {
        std::string name = XmlElementAttributeValue(node, "name", owner);
        std::string display = XmlElementAttributeValue(node, "display", owner);
        std::string docRoot = XmlElementAttributeValue(node, "docroot", owner);
        technologies.Append(std::make_unique<CJavaItem>(ITEM_GROUP, display, name, docRoot, "", "", ""));
    }
    technologies.Sort();
}

bool CJavaItemDataManager::ListJavaTechnologies(CItemList& technologies)
{
    technologies.Clear();
    if (!LoadTechnologies())
        return false;
    ListIndexTechnologies(*m_indexDocument, technologies, "CItemDataManager");
    std::map<std::string, bool> shown;
    ListDisplayTechnologies(shown);
    technologies.RemoveIf([&shown](const CTreeItem& item) {
        return !CDisplayPreferences::IsShown(shown, static_cast<const CJavaItem&>(item).GetTechnology());
    });
    return true;
}

bool CJavaItemDataManager::ListChildItems(const CTreeItem& parent, CItemList& children)
{
    children.Clear();
    if (std::optional<bool> answer = AnswerWithoutListing(parent))
        return *answer;
    const auto* item = dynamic_cast<const CJavaItem*>(&parent);
    if (!item)
        return false;
    bool ok = parent.GetKind() == ITEM_GROUP ? ListPackages(*item, children) : ListClasses(*item, children);
    children.Sort();
    children.Unique();
    return ok;
}

bool CJavaItemDataManager::ListPackages(const CJavaItem& technology, CItemList& children)
{
    LoadTechnologies();
    // The identifier is bound as a variable, so no identifier can change the expression.
    std::optional<CXmlNodeList> packages = m_indexDocument->SelectNodes(
        "javatab/technology[@name=$name]/package", {{"name", technology.GetTechnology()}});
    if (!packages) {
        ReportError("the package selection failed", "CJavaItemDataManager::ListChildItems");
        return false;
    }
    for (const CXmlNode& node : *packages) {
        std::string name = GetElementAttributeValue(node, "name");
        children.Append(std::make_unique<CJavaItem>(ITEM_SUBGROUP, name, technology.GetTechnology(),
                                                     technology.GetDocRoot(), name, "", ""));
    }
    return true;
}

bool CJavaItemDataManager::ListClasses(const CJavaItem& package, CItemList& children)
{
    const std::string& technology = package.GetTechnology();
    const std::string& packageName = package.GetPackage();
    if (!IsSafePathComponent(technology) || !IsSafePathComponent(packageName)) {
        ReportError("refused the package file name", "CJavaItemDataManager::ListChildItems()");
        return false;
    }
    std::string directory = GetDataDirectory() + "Java/" + technology;
    std::string file = directory + "/" + packageName + ".xml";
    if (!CanOpenForReading(file))
        FetchPackageFile(ComponentWebServerUrl() + "/xql.dll/vantrel/java/data/" + technology + "/" + packageName +
                             ".xml",
                         directory, file);

    std::unique_ptr<CXmlDocument> document;
    if (!OpenXmlDocument(document, file, "CJavaItemDataManager::ListChildItems()"))
        return false;
    for (const CXmlNode& node : document->GetElementsByTagName("class")) {
        std::string name = GetChildElementValue(node, "className");
        if (!ToShownClassName(name))
            continue;
        children.Append(
            std::make_unique<CJavaItem>(ITEM_LEAF, name, technology, package.GetDocRoot(), packageName, name, ""));
    }
    return true;
}

bool CJavaItemDataManager::GetItemURL(const CTreeItem& item, std::string& url)
{
    const std::string server = ComponentWebServerUrl();
    switch (item.GetKind()) {
    case ITEM_BLANK:
        url = "about:blank";
        return true;
    case ITEM_HOME:
        url = server + "/vantrel/javatab/home.jsp";
        if (g_firstHomeUrl.exchange(false))
            url += "?version=" + GetVersionText() + "&launcher=" + std::to_string(m_launcher) +
                   "&id=" + GetClientKey();
        return true;
    case ITEM_SEARCH:
        url = server + "/vantrel/javatab/search.jsp";
        return true;
    case ITEM_GROUP:
    case ITEM_SUBGROUP:
    case ITEM_LEAF:
        break;
    default:
        return false;
    }

    const auto* java = dynamic_cast<const CJavaItem*>(&item);
    if (!java)
        return false;
    const std::string& technology = java->GetTechnology();
    const std::string& package = java->GetPackage();
    if (item.GetKind() == ITEM_GROUP) {
        url = technology.empty() ? "about:blank" : server + "/vantrel/javatab/technology/" + technology + ".jsp";
        return true;
    }
    if (technology.empty())
        return false;
    std::string data = server + "/xql.dll/" + "vantrel/java/data/" + technology + "/" + package + ".xml";
    if (item.GetKind() == ITEM_SUBGROUP) {
        url = data + "?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl&packagename=" + package +
              "&packagelink=" + java->GetDocRoot() + java->GetPackagePath() + "/package-summary.html";
        return true;
    }
    if (!java->GetDocRoot().empty())
        url = java->GetDocRoot() + java->GetPackagePath() + "/" + java->GetClass() + ".html";
    else
        url = data + "?xslfolder=vantrel:/java/xsl/1.0&xslsheet=vantrel:/java/xsl/1.0/java-class-all.xsl&xmlpage=" +
              package + ".xml" + "&fullyqualified=" + package + "." + java->GetClass();
    if (!java->GetMemberAnchor().empty())
        url += "#" + java->GetMemberAnchor();
    return true;
}

std::string CJavaItemDataManager::FormatVersionText(std::uint32_t fileVersionMS, std::uint32_t fileVersionLS)
{
    return std::to_string(fileVersionMS >> 16) + "." + std::to_string(fileVersionMS & 0xFFFF) + "." +
           std::to_string(static_cast<std::int32_t>(fileVersionLS));
}

std::string CJavaItemDataManager::GetVersionText()
{
    std::optional<CVersionBlock> block = ReadVersionBlock(ModulePathOf(&kModuleAnchor));
    if (!block || block->fixed.dwSignature != kVersionSignature)
        return FormatVersionText(0, 0);
    return FormatVersionText(block->fixed.dwFileVersionMS, block->fixed.dwFileVersionLS);
}

bool CJavaItemDataManager::IsSafePathComponent(const std::string& name)
{
    if (name.empty() || name == ".")
        return false;
    if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
        return false;
    return name.find("..") == std::string::npos;
}
