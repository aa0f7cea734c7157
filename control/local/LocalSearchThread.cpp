#include "LocalSearchThread.h"

#include "LocalItem.h"
#include "LocalItemDataManager.h"
#include "VendorServers.h"
#include "XmlAccess.h"

CLocalSearchThread::CLocalSearchThread(CItemList& results)
    : CSearchThread(results)
{
}

void CLocalSearchThread::Setup(const std::string& queryText, HWND target)
{
    SetSearchText(queryText);
    SetTargetWindow(target);
}

void CLocalSearchThread::StartWork()
{
    Results().Clear();
    PostSearchStarted(1);
}

void CLocalSearchThread::DoWork()
{
    std::unique_ptr<CXmlDocument> remote;
    std::unique_ptr<CXmlDocument> local;
    std::string url = ComponentWebServerUrl() +
                      "/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/"
                      "search-local.xsl&qtarget=" +
                      GetSearchText();
    if (OpenXmlDocument(remote, url, "CLocalSearchThread::DoWork") &&
        OpenXmlDocument(local, CLocalItemDataManager::IndexFile(), "CLocalItemDataManager::LoadComponentList()")) {
        if (auto matches = remote->SelectNodes("components/component")) {
            for (const CXmlNode& match : *matches) {
                std::string scid = XmlElementAttributeValue(match, "SCID", "CLocalSearchThread");
                auto found = local->SelectNodes("components/component[@SCID=$scid]", {{"scid", scid}});
                if (!found)
                    continue;
                for (const CXmlNode& component : *found) {
                    std::string name = XmlChildElementValue(component, "componentName", "CLocalSearchThread");
                    Results().Append(std::make_unique<CLocalItem>(
                        ITEM_LEAF, name, "", "", name, XmlElementAttributeValue(component, "SCID", "CLocalSearchThread")));
                }
            }
        }
        // Then the classes found, each held by a component of the index, in the server's order.
        if (auto classes = remote->SelectNodes("components/class")) {
            for (const CXmlNode& match : *classes) {
                std::string scid = XmlElementAttributeValue(match, "SCID", "CLocalSearchThread");
                auto found = local->SelectNodes("components/component[@SCID=$scid][1]", {{"scid", scid}});
                if (!found || found->GetLength() == 0)
                    continue;
                // "Reader (org.acme.io)": the class's own name first, where a narrow tree shows it.
                std::string name = XmlElementAttributeValue(match, "name", "CLocalSearchThread");
                const size_t dot = name.rfind('.');
                std::string shown = dot == std::string::npos ? name
                                                             : name.substr(dot + 1) + " (" + name.substr(0, dot) + ")";
                Results().Append(CLocalItem::Member(ITEM_LOCAL_CLASS, std::move(shown), name, scid));
            }
        }
    }
    PostSearchProgress();
    SetStopFlag();
}

void CLocalSearchThread::EndWork()
{
    PostSearchFinished();
}
