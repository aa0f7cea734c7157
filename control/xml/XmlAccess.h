#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "XmlDocument.h"

class IUserPrompt;

// The access functions every data manager and search uses on its documents. Each caller
// passes the class name that its error reports carry ("CItemDataManager", ...).

// Text of the first child element of node named childName (case-sensitive); empty when
// there is none, when it is empty, or when its first child has no value (an element).
std::string XmlChildElementValue(const CXmlNode& node, const std::string& childName, std::string_view owner);

// Value of the attribute; empty when element is not an element or has no such attribute.
std::string XmlElementAttributeValue(const CXmlNode& element, const std::string& name, std::string_view owner);

// Creates the document when the pointer is empty, then loads source (a path or an http
// URL). A failed load reports the parse error under context and leaves the document
// empty and usable.
bool OpenXmlDocument(std::unique_ptr<CXmlDocument>& document, const std::string& source, std::string_view context);

// "There were no search results found."
void ShowNoSearchResults(IUserPrompt& prompt);
