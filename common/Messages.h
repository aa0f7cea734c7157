#pragma once

#include "MessageTarget.h"

// Private messages; a worker's wParam is its thread identifier.
constexpr unsigned WM_PAGE_SEARCH = WM_USER + 0x100;
constexpr unsigned WM_PAGE_ACTIVATE = WM_USER + 0x110;
constexpr unsigned WM_PAGE_DEACTIVATE = WM_USER + 0x111;
constexpr unsigned WM_SEARCH_STARTED = WM_USER + 0x120;
constexpr unsigned WM_SEARCH_FINISHED = WM_USER + 0x121;
constexpr unsigned WM_SEARCH_PROGRESS = WM_USER + 0x122;
constexpr unsigned WM_SCAN_STARTED = WM_USER + 0x140;
constexpr unsigned WM_SCAN_PROGRESS = WM_USER + 0x141;
constexpr unsigned WM_SCAN_FINISHED = WM_USER + 0x142;
// A location scan is about to read one of its archives or class trees (lParam its index).
constexpr unsigned WM_SCAN_ITEM = WM_USER + 0x143;

// The download dialog's messages differ between the control and the host program.
struct CDownloadMessages
{
    unsigned reserved;
    unsigned progress;  // WM_DOWNLOAD_PROGRESS: wParam bytes so far, lParam total
    unsigned done;      // WM_DOWNLOAD_DONE
};
constexpr CDownloadMessages kControlDownloadMessages{WM_USER + 0x130, WM_USER + 0x131, WM_USER + 0x132};
constexpr CDownloadMessages kHostDownloadMessages{WM_USER + 0x100, WM_USER + 0x101, WM_USER + 0x102};
constexpr unsigned WM_DOWNLOAD_PROGRESS = kControlDownloadMessages.progress;
constexpr unsigned WM_DOWNLOAD_DONE = kControlDownloadMessages.done;
