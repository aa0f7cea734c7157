#pragma once

#include <chrono>
#include <functional>
#include <string>

// Registers path as the control library (InprocServer32 of the control's class id).
void RegisterControlLibrary(const std::string& path);

// Runs the Qt event loop until done answers true; false when timeout passed first.
bool ProcessEventsUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Runs the event loop for this long.
void ProcessEventsFor(std::chrono::milliseconds time);
