#include "JavaSearchThread.h"

#include "JavaItem.h"
#include "JavaItemDataManager.h"
#include "VendorServers.h"
#include "XmlAccess.h"

CJavaSearchThread::CJavaSearchThread(CJavaItemDataManager& manager, CItemList& results)
    : CSearchThread(results)
    , m_manager(manager)
{
}

void CJavaSearchThread::Setup(const std::string& packageText, const std::string& classText,
                              const std::string& methodText, std::int32_t kind, HWND targetWindow)
{
    m_packageText = packageText;
    m_classText = classText;
    m_methodText = methodText;
    m_kind = kind;
    m_qtarget.clear();
    SetTargetWindow(targetWindow);
}

void CJavaSearchThread::StartWork()
{
    Results().Clear();
    bool known = true;
    switch (m_kind) {
    case 0:
        m_qtarget = m_packageText;
        m_styleSheet = "search-package.xsl";
        m_dataFile = "index.bnd";
        break;
    case 1:
        m_qtarget = m_classText;
        m_styleSheet = "search-class.xsl";
        m_dataFile = "index.bnd";
        break;
    case 2:
        m_qtarget = m_methodText;
        m_styleSheet = "search-method.xsl";
        m_dataFile = "index.bnd";
        break;
    case 3:
        m_qtarget = m_classText;
        m_styleSheet = "search-descendent.xsl";
        m_dataFile = "index.bnd";
        break;
    case 4:
        m_qtarget = m_classText;
        m_styleSheet = "search-interface.xsl";
        m_dataFile = "index.bnd";
        break;
    case 5:
        m_styleSheet = "search-package-class.xsl";
        m_dataFile = m_packageText + ".xml";
        break;
    case 6:
        m_styleSheet = "search-package-class-method.xsl";
        m_dataFile = m_packageText + ".xml";
        break;
    default:
        known = false;
        break;
    }
    if (!known) {
        SetStatus(1);
    } else {
        m_resultDocument = std::make_unique<CXmlDocument>();
        m_manager.ListJavaTechnologies(m_technologies);
    }
    m_cursor = 0;
    PostSearchStarted(static_cast<std::int32_t>(m_technologies.GetCount()));
}

void CJavaSearchThread::DoWork()
{
    bool done = m_cursor >= m_technologies.GetCount();
    if (!done) {
        if (const auto* technology = dynamic_cast<const CJavaItem*>(&m_technologies.GetAt(m_cursor)))
            ListSearchResults(*technology);
        ++m_cursor;
    }
    PostSearchProgress();
    if (done)
        SetStopFlag();
}

void CJavaSearchThread::EndWork()
{
    Results().Sort();
    Results().Unique();
    PostSearchFinished();
}

std::string CJavaSearchThread::BuildSearchUrl(const CJavaItem& technology) const
{
    return ComponentWebServerUrl() + "/xql.dll/vantrel/java/data/" + technology.GetTechnology() + "/" + m_dataFile +
           "?xslsheet=vantrel:/java/xsl/" + m_styleSheet + "&qtarget=" + m_qtarget + "&packagename=" + m_packageText +
           "&classname=" + m_classText + "&methodname=" + m_methodText;
}

void CJavaSearchThread::ListSearchResults(const CJavaItem& technology)
{
    if (!OpenXmlDocument(m_resultDocument, BuildSearchUrl(technology), "CJavaItemDataManager::ListSearchResults)"))
        return;
    const std::string suffix = " (" + technology.GetName() + ")";
    const bool packages = m_kind == 0;
    const bool methods = m_kind == 2 || m_kind == 6;
    for (const CXmlNode& node : m_resultDocument->GetElementsByTagName(packages ? "package" : "class")) {
        std::string packageName = GetChildElementValue(node, "packageName");
        if (packages) {
            Results().Append(std::make_unique<CJavaItem>(ITEM_SUBGROUP, packageName + suffix,
                                                         technology.GetTechnology(), technology.GetDocRoot(),
                                                         packageName, "", ""));
            continue;
        }
        std::string className = GetChildElementValue(node, "className");
        std::string member;
        if (methods) {
            CXmlNode method = node.GetElementsByTagName("method").GetItem(0);
            member = GetChildElementValue(method, "methodName") + GetChildElementValue(method, "signature");
        }
        Results().Append(std::make_unique<CJavaItem>(ITEM_LEAF, packageName + "." + className + suffix,
                                                     technology.GetTechnology(), technology.GetDocRoot(), packageName,
                                                     className, member));
    }
}
