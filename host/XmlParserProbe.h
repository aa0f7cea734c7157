#pragma once

#include <string>

// The XML parser the control's collections rely on, as the shared library that must be
// installed for them to load.
inline constexpr const char* kXmlParserLibrary = "libxml2.so.2";

// Loads the library by name and has it build a document and select a node in it with
// XPath, the work the collections ask of it. False when any part of that fails.
bool ProbeXmlParser(const std::string& library);
