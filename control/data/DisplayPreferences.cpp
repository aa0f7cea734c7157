#include "DisplayPreferences.h"

#include <memory>

#include "ErrorReport.h"
#include "Settings.h"
#include "XmlAccess.h"

namespace
{
// The context the error reports of a save carry.
constexpr const char* kSaveContext = "COptionsDlg::GetElementAttributeValue";

// The "display" element: the first child of the first child of the root, created with its
// parents when the file is new.
CXmlNode DisplayElement(CXmlDocument& document, bool fresh)
{
    if (fresh) {
        document.SetDocumentElement(document.CreateElement("preferences"));
        CXmlNode javaTab = document.GetDocumentElement().AppendChild(document.CreateElement("javatab"));
        javaTab.AppendChild(document.CreateElement("display"));
    }
    const CXmlNode root = document.GetDocumentElement();
    CXmlNode display = root ? root.GetFirstChild().GetFirstChild() : CXmlNode();
    return display && display.GetNodeType() == NODE_ELEMENT ? display : CXmlNode();
}
}  // namespace

std::string CDisplayPreferences::Path()
{
    return GetDataDirectory() + "preferences.xml";
}

bool CDisplayPreferences::IsShown(const std::map<std::string, bool>& shown, const std::string& technology)
{
    auto entry = shown.find(technology);
    return entry == shown.end() || entry->second;
}

bool CDisplayPreferences::Read(std::map<std::string, bool>& shown, const char* loadContext, std::string_view owner)
{
    std::unique_ptr<CXmlDocument> preferences;
    if (!OpenXmlDocument(preferences, Path(), loadContext))
        return false;
    for (const CXmlNode& node : preferences->GetElementsByTagName("technology")) {
        shown.emplace(XmlElementAttributeValue(node, "name", owner),
                      XmlElementAttributeValue(node, "show", owner) == "1");
    }
    return true;
}

bool CDisplayPreferences::Write(const std::vector<std::pair<std::string, bool>>& technologies)
{
    const std::string path = Path();
    CXmlDocument document;
    CXmlNode display = DisplayElement(document, !document.Load(path));
    if (!display) {
        ReportError("preferences.xml has no display element", kSaveContext);
        return false;
    }
    while (CXmlNode child = display.GetFirstChild())
        display.RemoveChild(child);
    for (const auto& [name, show] : technologies) {
        CXmlNode element = display.AppendChild(document.CreateElement("technology"));
        if (!element) {
            ReportError("cannot add a technology", kSaveContext);
            return false;
        }
        element.SetAttribute("name", name);
        element.SetAttribute("show", show ? "1" : "0");
    }
    if (!document.Save(path)) {
        ReportError("cannot write " + path, kSaveContext);
        return false;
    }
    return true;
}
