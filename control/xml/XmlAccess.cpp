#include "XmlAccess.h"

#include "ErrorReport.h"
#include "UserPrompt.h"

namespace
{
void Report(std::string_view owner, std::string_view operation, std::string_view error)
{
    ReportError(error, std::string(owner) + "::" + std::string(operation));
}
}  // namespace

std::string XmlChildElementValue(const CXmlNode& node, const std::string& childName, std::string_view owner)
{
    if (!node)
        return {};
    for (CXmlNode child = node.GetFirstChild(); child; child = child.GetNextSibling()) {
        if (child.GetNodeType() != NODE_ELEMENT || child.GetNodeName() != childName)
            continue;
        CXmlNode first = child.GetFirstChild();
        if (!first)
            return {};
        std::optional<std::string> value = first.GetNodeValue();
        if (!value) {
            Report(owner, "GetChildElementValue", "the element's first child has no value");
            return {};
        }
        return *value;
    }
    return {};
}

std::string XmlElementAttributeValue(const CXmlNode& element, const std::string& name, std::string_view owner)
{
    if (!element || element.GetNodeType() != NODE_ELEMENT)
        return {};
    std::optional<std::string> value = element.GetAttribute(name);
    if (!value) {
        Report(owner, "GetElementAttributeValue", "no attribute " + name);
        return {};
    }
    return *value;
}

bool OpenXmlDocument(std::unique_ptr<CXmlDocument>& document, const std::string& source, std::string_view context)
{
    if (!document)
        document = std::make_unique<CXmlDocument>();
    if (document->Load(source))
        return true;
    const CXmlParseError& error = document->GetParseError();
    ReportError(error.reason + " (" + error.url + ", line " + std::to_string(error.line) + ")", context);
    return false;
}

void ShowNoSearchResults(IUserPrompt& prompt)
{
    prompt.MessageBox("There were no search results found.", kAppTitle, MB_OK);
}
