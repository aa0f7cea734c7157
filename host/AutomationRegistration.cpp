#include "AutomationRegistration.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "FileUtil.h"
#include "Registry.h"

namespace
{
// Every start writes the entries again; one that already holds its value is left as it is,
// which spares the start a locked, flushed rewrite of the registry file per key.
bool WriteKey(const std::string& key, const std::string& value)
{
    if (RegReadString(HKEY_CLASSES_ROOT, key, "", "") == value)
        return true;
    return RegCreateKey(HKEY_CLASSES_ROOT, key) && RegWriteString(HKEY_CLASSES_ROOT, key, "", value);
}

// The bus splits Exec as a shell would; a path with anything special goes in single quotes.
std::string QuoteForExec(const std::string& path)
{
    if (!path.empty() && path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                 "0123456789/._-+,:@%=") == std::string::npos)
        return path;
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}
}  // namespace

bool CAutomationRegistration::Write(const std::string& programPath)
{
    bool registry = WriteRegistryEntries(programPath);
    bool service = WriteServiceFile(programPath);
    return registry && service;
}

bool CAutomationRegistration::WriteRegistryEntries(const std::string& programPath)
{
    const std::string classKey = std::string("CLSID\\") + kClsid;
    bool ok = WriteKey(kProgId, kProgId);
    ok = WriteKey(std::string(kProgId) + "\\CLSID", kClsid) && ok;
    ok = WriteKey(classKey, kProgId) && ok;
    ok = WriteKey(classKey + "\\ProgID", kProgId) && ok;
    ok = WriteKey(classKey + "\\InprocHandler32", "ole32.dll") && ok;
    ok = WriteKey(classKey + "\\LocalServer32", programPath) && ok;
    return ok;
}

std::string CAutomationRegistration::ServiceFilePath()
{
    std::string dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        dataHome = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        dataHome = std::string(home) + "/.local/share";
    else
        return {};
    return dataHome + "/dbus-1/services/" + kBusName + ".service";
}

std::string CAutomationRegistration::ServiceFileText(const std::string& programPath)
{
    return std::string("[D-BUS Service]\nName=") + kBusName + "\nExec=" + QuoteForExec(programPath) +
           " -Embedding\n";
}

bool CAutomationRegistration::WriteServiceFile(const std::string& programPath)
{
    std::string path = ServiceFilePath();
    if (path.empty() || programPath.empty())
        return false;
    const std::string text = ServiceFileText(programPath);
    std::string current;
    if (ReadWholeFile(path, current, 64 * 1024) == CReadResult::Ok && current == text)
        return true;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (ec)
        return false;
    return WriteFileAtomically(path, text, 0644);
}
