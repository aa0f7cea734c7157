#pragma once

#include <string>

// The control's entries under HKEY_CLASSES_ROOT in the registry file: its class id with
// the library's path, the two ProgIDs, the type library and the two interfaces.

inline constexpr const char* kSpindleCtrlTypeLib = "{AD1B9646-B406-11D3-A1DD-0060B0EE16F3}";
inline constexpr const char* kISpindleCtrlIid = "{AD1B9654-B406-11D3-A1DD-0060B0EE16F3}";
inline constexpr const char* kDSpindleCtrlEventsIid = "{AD1B9653-B406-11D3-A1DD-0060B0EE16F3}";

// Writes every entry in one change of the file, replacing what an earlier registration
// left under the class id.
bool RegisterControlLibrary(const std::string& libraryPath);
// Removes every entry; true also when there was none.
bool UnregisterControlLibrary();
