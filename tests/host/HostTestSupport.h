#pragma once

#include <string>

// Registers path as the control library (InprocServer32 of the control's class id).
void RegisterControlLibrary(const std::string& path);
