#pragma once

#include <string>

#include "HttpDownload.h"
#include "VendorServers.h"

// Standard calling order from the settings: Create, server (a "host:port" setting overrides the port), the five firewall settings, HttpTimeout, HttpDeadline.
bool ConfigureFromSettings(CHttpDownload& download, const CServerAddress& server);

// Download-if-newer: target localFile + "_new"; CheckForNewFile, then Download(true, true); on success MoveFileReplace over localFile, on failure delete the "_new" file. Answers true when localFile was replaced.
bool DownloadIfNewer(IModalRunner& runner, const CServerAddress& server, const std::string& uri, const std::string& localFile);

// Plain download through "_new" then a replace (no newer-check), with or without the progress dialog; keepTimeStamp writes the "_new_ts" file as Download(…, true) does. Answers true when localFile was replaced.
bool DownloadReplacing(IModalRunner& runner, const CServerAddress& server, const std::string& uri, const std::string& localFile, bool showProgress, bool keepTimeStamp = false);
