#include "LocalItemDataManager.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "ClassPages.h"
#include "ErrorReport.h"
#include "LocalItem.h"
#include "ModalDialog.h"
#include "ScanProgressDlg.h"
#include "Settings.h"
#include "UrlFetch.h"
#include "UserPrompt.h"
#include "VendorServers.h"

namespace
{
// A local file as a URL, each segment encoded so that a blank or '#' in a path stays a path.
std::string FileUrl(const std::string& path)
{
    std::string url = "file://";
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        url += EncodeUrlComponent(std::string_view(path).substr(start, slash - start));
        if (slash < path.size())
            url += '/';
        start = slash + 1;
    }
    return url;
}

// The catalogue's page of a component; the SCID goes in as it stands.
std::string ComponentUrl(const std::string& server, const std::string& scid)
{
    return server + "/xql.dll/components/vendors/components.bnd?scid=" + scid +
           "&xslsheet=components:/vendors/xsl/rm/component-overview.xsl&xmlpage=components/vendors/components.bnd";
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}
}  // namespace

CLocalItemDataManager::CLocalItemDataManager(IModalRunner& runner, IUserPrompt& prompt)
    : m_runner(runner),
      m_prompt(prompt),
      m_javadoc(std::make_unique<CJavadocCache>(CJavadocCache::DefaultFolder(), CJavadocCache::kDefaultMaxBytes))
{
}

CLocalItemDataManager::~CLocalItemDataManager() = default;

std::string CLocalItemDataManager::IndexFile()
{
    return GetDataDirectory() + "Local/components.xml";
}

bool CLocalItemDataManager::LoadComponentList(bool reload)
{
    if (m_index && !reload)
        return true;
    return OpenXmlDocument(m_index, IndexFile(), "CLocalItemDataManager::LoadComponentList()");
}

bool CLocalItemDataManager::ListComponentCategories(CItemList& list, bool reload)
{
    list.Clear();
    if (!LoadComponentList(reload))
        return false;
    for (const CXmlNode& category : m_index->GetElementsByTagName("category")) {
        std::string primary = GetChildElementValue(category, "primaryCategory");
        list.Append(std::make_unique<CLocalItem>(ITEM_GROUP, primary, primary, "", "", ""));
    }
    list.Sort();
    list.Unique();
    return true;
}

bool CLocalItemDataManager::ListChildItems(const CTreeItem& parent, CItemList& children)
{
    children.Clear();
    if (!LoadComponentList(false))
        return false;
    const auto* item = dynamic_cast<const CLocalItem*>(&parent);
    if (item && item->HasChildren() && (parent.GetKind() == ITEM_LEAF || parent.GetKind() == ITEM_LOCAL_PACKAGE))
        return ListMembers(*item, children);
    if (std::optional<bool> answer = AnswerWithoutListing(parent))
        return *answer;
    if (!item)
        return false;

    // Category names are bound as variables: a quote in a name must still select.
    const std::map<std::string, std::string> names = {{"primary", item->GetPrimaryCategory()},
                                                      {"secondary", item->GetSecondaryCategory()}};
    if (parent.GetKind() == ITEM_GROUP) {
        auto categories = m_index->SelectNodes("components/component/categories/category[primaryCategory=$primary]",
                                               names);
        if (!categories) {
            ReportError("category selection failed", "CLocalItemDataManager::ListChildItems");
            return false;
        }
        for (const CXmlNode& category : *categories) {
            std::string secondary = GetChildElementValue(category, "secondaryCategory");
            children.Append(std::make_unique<CLocalItem>(ITEM_SUBGROUP, secondary, item->GetPrimaryCategory(),
                                                         secondary, "", ""));
        }
    } else {
        auto components = m_index->SelectNodes(
            "components/component[categories/category/primaryCategory=$primary and "
            "categories/category/secondaryCategory=$secondary]",
            names);
        if (!components) {
            ReportError("component selection failed", "CLocalItemDataManager::ListChildItems");
            return false;
        }
        for (const CXmlNode& component : *components) {
            std::string name = GetChildElementValue(component, "componentName");
            auto leaf = std::make_unique<CLocalItem>(ITEM_LEAF, name, item->GetPrimaryCategory(),
                                                     item->GetSecondaryCategory(), name,
                                                     GetElementAttributeValue(component, "SCID"));
            leaf->SetAffected(GetElementAttributeValue(component, "affected") == "yes");
            children.Append(std::move(leaf));
        }
    }
    children.Sort();
    children.Unique();
    return true;
}

bool CLocalItemDataManager::GetItemURL(const CTreeItem& item, std::string& url)
{
    const std::string server = ComponentWebServerUrl();
    const auto* local = dynamic_cast<const CLocalItem*>(&item);
    switch (item.GetKind()) {
    case ITEM_BLANK:
        url = "about:blank";
        return true;
    case ITEM_HOME:
        url = server + "/vantrel/localtab/home.jsp";
        return true;
    case ITEM_SEARCH:
        url = server + "/vantrel/localtab/search.jsp";
        return true;
    case ITEM_GROUP:
        if (!local)
            return false;
        url = server + "/vantrel/localtab/category.jsp?cat=" + local->GetPrimaryCategory();
        return true;
    case ITEM_SUBGROUP:
        if (!local)
            return false;
        url = server + "/vantrel/localtab/productlist.jsp?cat=" + local->GetPrimaryCategory() +
              "&subcat=" + local->GetSecondaryCategory();
        return true;
    case ITEM_LEAF:
        if (!local)
            return false;
        if (CLocalItem::IsLocalId(local->GetScid())) {
            url = UnidentifiedUrl(server, local->GetScid());
            return true;
        }
        url = ComponentUrl(server, local->GetScid());
        return true;
    case ITEM_LOCAL_PACKAGE:
    case ITEM_LOCAL_CLASS:
        if (!local)
            return false;
        url = MemberUrl(server, *local);
        return true;
    default:
        return false;
    }
}

bool CLocalItemDataManager::UpdateIndex()
{
    CXmlDocument index;
    if (index.Load(IndexFile()))
        return true;
    int answer = m_prompt.MessageBox("Would you like to perform a scan of your CLASSPATH for known components at this time?",
                                     kAppTitle, MB_YESNO);
    if (answer == IDYES)
        return ScanClassPath();
    // No: an empty index, so that the question is not asked again.
    index.SetDocumentElement(index.CreateElement("components"));
    if (!index.Save(IndexFile())) {
        ReportError("cannot write " + IndexFile(), "CLocalItemDataManager::UpdateIndex()");
        return false;
    }
    return true;
}

bool CLocalItemDataManager::ScanClassPath()
{
    const char* classPath = std::getenv("CLASSPATH");
    CScanProgressDlg dialog(classPath ? classPath : "", true);
    dialog.SetLocations(GetScanLocations());
    return m_runner.RunModal(dialog) == IDOK;
}

std::vector<CLocalItemDataManager::CPlace> CLocalItemDataManager::ListPlaces(const std::string& scid)
{
    std::vector<CPlace> places;
    if (!LoadComponentList(false))
        return places;
    auto found = m_index->SelectNodes("components/component[@SCID=$scid]/foundIn", {{"scid", scid}});
    if (!found)
        return places;
    for (const CXmlNode& place : *found) {
        auto attribute = [&place](const char* name) { return place.GetAttribute(name).value_or(""); };
        places.push_back({attribute("path"), attribute("match"), attribute("classes"), attribute("relocatedPrefix"),
                          attribute("version"), attribute("basis"), Words(attribute("candidates")),
                          attribute("claimedVersion"), attribute("claimedBy")});
    }
    return places;
}

std::vector<CLocalItemDataManager::CAdvisoryEntry> CLocalItemDataManager::ListAdvisories(const std::string& scid)
{
    std::vector<CAdvisoryEntry> advisories;
    if (!LoadComponentList(false))
        return advisories;
    // The CLASSPATH's entries of a component repeat its records: the first entry that has them.
    auto found = m_index->SelectNodes("components/component[@SCID=$scid][advisory][1]/advisory", {{"scid", scid}});
    if (!found)
        return advisories;
    auto texts = [](const CXmlNode& parent, const char* xpath) {
        std::vector<std::string> values;
        if (auto nodes = parent.SelectNodes(xpath))
            for (const CXmlNode& node : *nodes)
                values.push_back(node.GetFirstChild() ? node.GetFirstChild().GetNodeValue().value_or("") : "");
        return values;
    };
    for (const CXmlNode& advisory : *found) {
        auto attribute = [&advisory](const char* name) { return advisory.GetAttribute(name).value_or(""); };
        const std::vector<std::string> summary = texts(advisory, "summary");
        std::vector<std::string> paths;
        if (auto places = advisory.SelectNodes("affects"))
            for (const CXmlNode& place : *places)
                paths.push_back(place.GetAttribute("path").value_or(""));
        advisories.push_back({attribute("id"), texts(advisory, "alias"), attribute("severity"),
                              summary.empty() ? "" : summary.front(), attribute("fixed"), attribute("evaluable") != "no",
                              Words(attribute("versions")), paths});
    }
    return advisories;
}

std::string CLocalItemDataManager::UnidentifiedUrl(const std::string& server, const std::string& id)
{
    std::string url = server + "/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/"
                               "local-unidentified.xsl&xmlpage=components/vendors/components.bnd&scid=" +
                      EncodeUrlComponent(id);
    if (!LoadComponentList(false))
        return url;
    auto components = m_index->SelectNodes("components/component[@SCID=$scid][1]", {{"scid", id}});
    if (!components || components->GetLength() == 0)
        return url;
    const CXmlNode component = components->GetItem(0);
    url += "&name=" + EncodeUrlComponent(GetChildElementValue(component, "componentName")) +
           "&version=" + EncodeUrlComponent(GetChildElementValue(component, "version")) +
           "&artifact=" + EncodeUrlComponent(GetChildElementValue(component, "artifact")) +
           "&match=" + EncodeUrlComponent(GetElementAttributeValue(component, "unidentified"));
    // The hashes of the first place; the page lists every place itself.
    if (auto first = component.SelectNodes("foundIn[1]"); first && first->GetLength() == 1)
        url += "&sha1=" + EncodeUrlComponent(first->GetItem(0).GetAttribute("sha1").value_or("")) +
               "&sha256=" + EncodeUrlComponent(first->GetItem(0).GetAttribute("sha256").value_or(""));
    return url;
}

const CXmlDocument* CLocalItemDataManager::ClassList(const std::string& scid)
{
    if (auto found = m_classLists.find(scid); found != m_classLists.end())
        return found->second.get();
    std::string url = ComponentWebServerUrl() + "/vantrel/localtab/classes.jsp?scid=" + EncodeUrlComponent(scid);
    std::vector<std::string> versions;
    for (const CPlace& place : ListPlaces(scid))
        if (!place.version.empty() && std::find(versions.begin(), versions.end(), place.version) == versions.end())
            versions.push_back(place.version);
    for (const std::string& version : versions)
        url += "&version=" + EncodeUrlComponent(version);
    std::unique_ptr<CXmlDocument> list;
    // A failed fetch is not kept: the next expansion asks again.
    if (!OpenXmlDocument(list, url, "CLocalItemDataManager::ListChildItems"))
        return nullptr;
    return m_classLists.emplace(scid, std::move(list)).first->second.get();
}

bool CLocalItemDataManager::ListMembers(const CLocalItem& parent, CItemList& children)
{
    const CXmlDocument* list = ClassList(parent.GetScid());
    if (!list)
        return false;
    const bool packages = parent.GetKind() == ITEM_LEAF;
    auto nodes = packages ? list->SelectNodes("classes/package")
                          : list->SelectNodes("classes/package[@name=$package]/class", {{"package", parent.GetQualifiedName()}});
    if (!nodes)
        return false;
    for (const CXmlNode& node : *nodes) {
        const std::string name = node.GetAttribute("name").value_or("");
        if (packages) {
            children.Append(CLocalItem::Member(ITEM_LOCAL_PACKAGE, name.empty() ? "(unnamed package)" : name, name,
                                               parent.GetScid()));
        } else {
            const size_t dot = name.rfind('.');
            children.Append(CLocalItem::Member(ITEM_LOCAL_CLASS, dot == std::string::npos ? name : name.substr(dot + 1),
                                               name, parent.GetScid()));
        }
    }
    children.Sort();
    return true;
}

std::string CLocalItemDataManager::MemberUrl(const std::string& server, const CLocalItem& item)
{
    std::vector<std::string> archives;
    for (const CPlace& place : ListPlaces(item.GetScid()))
        archives.push_back(place.path);
    const bool isClass = item.GetKind() == ITEM_LOCAL_CLASS;
    const CClassPage found = isClass ? FindClassPage(item.GetQualifiedName(), archives, *m_javadoc)
                                     : FindPackagePage(item.GetQualifiedName(), archives, *m_javadoc);
    if (!found.file.empty())
        return FileUrl(found.file);
    if (!found.note.empty())
        ReportError(found.note, "CLocalItemDataManager::GetItemURL");
    if (!isClass)
        return ComponentUrl(server, item.GetScid());
    return server + "/vantrel/localtab/class.jsp?name=" + EncodeUrlComponent(item.GetQualifiedName()) +
           (found.note.empty() ? "" : "&note=" + EncodeUrlComponent(found.note));
}
