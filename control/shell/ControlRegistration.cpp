#include "ControlRegistration.h"

#include <optional>
#include <tuple>
#include <vector>

#include "FileUtil.h"
#include "RegistryFile.h"
#include "SpindleCtrlInterface.h"

namespace
{
constexpr const char* kRoot = "HKEY_CLASSES_ROOT\\";
constexpr const char* kClassName = "SpindleCtrl Class";
constexpr const char* kProgId = "Spindle.SpindleCtrl";
// Proxies of dual interfaces and of dispinterfaces.
constexpr const char* kDualProxy = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";

struct CEntry
{
    std::string key;                  // below HKEY_CLASSES_ROOT
    std::optional<std::string> name;  // none for a key without values; "" for its default value
    std::string value;
};

std::string ClassKey()
{
    return std::string("CLSID\\") + kSpindleCtrlClsid;
}

std::vector<CEntry> Entries(const std::string& library)
{
    const std::string versionedProgId = kSpindleCtrlProgId;
    const std::string classKey = ClassKey();
    const std::string typeLibKey = std::string("TypeLib\\") + kSpindleCtrlTypeLib + "\\1.0";
    std::vector<CEntry> entries = {
        {versionedProgId, "", kClassName},
        {versionedProgId + "\\CLSID", "", kSpindleCtrlClsid},
        {kProgId, "", kClassName},
        {std::string(kProgId) + "\\CLSID", "", kSpindleCtrlClsid},
        {std::string(kProgId) + "\\CurVer", "", versionedProgId},
        {classKey, "", kClassName},
        {classKey + "\\ProgID", "", versionedProgId},
        {classKey + "\\VersionIndependentProgID", "", kProgId},
        {classKey + "\\Programmable", std::nullopt, ""},
        {classKey + "\\InprocServer32", "", library},
        {classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {classKey + "\\Control", std::nullopt, ""},
        {classKey + "\\Insertable", std::nullopt, ""},
        {classKey + "\\ToolboxBitmap32", "", library + ", 101"},
        {classKey + "\\MiscStatus", "", "0"},
        {classKey + "\\MiscStatus\\1", "", "131473"},
        {classKey + "\\TypeLib", "", kSpindleCtrlTypeLib},
        {classKey + "\\Version", "", "1.0"},
        {typeLibKey, "", "TarnelCtrl 1.0 Type Library"},
        {typeLibKey + "\\0\\win32", "", library},
        {typeLibKey + "\\FLAGS", "", "0"},
        {typeLibKey + "\\HELPDIR", "", DirectoryOf(library)},
    };
    for (const auto& [iid, name, proxy] : {std::tuple{kISpindleCtrlIid, "ISpindleCtrl", kDualProxy},
                                           std::tuple{kDSpindleCtrlEventsIid, "DSpindleCtrlEvents", kDispatchProxy}}) {
        const std::string key = std::string("Interface\\") + iid;
        entries.push_back({key, "", name});
        entries.push_back({key + "\\ProxyStubClsid", "", proxy});
        entries.push_back({key + "\\ProxyStubClsid32", "", proxy});
        entries.push_back({key + "\\TypeLib", "", kSpindleCtrlTypeLib});
        entries.push_back({key + "\\TypeLib", "Version", "1.0"});
    }
    return entries;
}

// The keys that unregistration removes with everything below them.
std::vector<std::string> OwnKeys()
{
    return {
        ClassKey(),
        kSpindleCtrlProgId,
        kProgId,
        std::string("TypeLib\\") + kSpindleCtrlTypeLib,
        std::string("Interface\\") + kISpindleCtrlIid,
        std::string("Interface\\") + kDSpindleCtrlEventsIid,
    };
}

// Every level below the root, as RegCreateKeyEx makes them.
void CreateKeyWithParents(CRegistryFile& file, const std::string& subKey)
{
    size_t slash = 0;
    do {
        slash = subKey.find('\\', slash + 1);
        file.CreateKey(kRoot + subKey.substr(0, slash));
    } while (slash != std::string::npos);
}
}  // namespace

bool RegisterControlLibrary(const std::string& libraryPath)
{
    if (libraryPath.empty())
        return false;
    const std::vector<CEntry> entries = Entries(libraryPath);
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), true, [&](CRegistryFile& file) {
        file.DeleteKey(kRoot + ClassKey());
        for (const CEntry& entry : entries) {
            CreateKeyWithParents(file, entry.key);
            if (entry.name && !file.SetValue(kRoot + entry.key, *entry.name, entry.value))
                return false;
        }
        return true;
    });
}

bool UnregisterControlLibrary()
{
    const std::string path = CRegistryFile::DefaultPath();
    bool registered = false;
    const CRegistryFile current = CRegistryFile::Load(path);
    for (const std::string& key : OwnKeys())
        registered = registered || current.HasKey(kRoot + key);
    if (!registered)
        return true;
    return CRegistryFile::Update(path, false, [](CRegistryFile& file) {
        for (const std::string& key : OwnKeys())
            file.DeleteKey(kRoot + key);
        return true;
    });
}
