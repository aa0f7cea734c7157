#include "Registry.h"

#include "RegistryFile.h"

namespace
{
std::string KeyPath(HKEY root, const std::string& subKey)
{
    const char* rootName = root == HKEY_CLASSES_ROOT ? "HKEY_CLASSES_ROOT" : "HKEY_LOCAL_MACHINE";
    return subKey.empty() ? std::string(rootName) : std::string(rootName) + "\\" + subKey;
}
}  // namespace

std::string RegReadString(HKEY root, const std::string& subKey, const std::string& name,
                          const std::string& defaultText)
{
    CRegistryFile file = CRegistryFile::Load(CRegistryFile::DefaultPath());
    std::optional<std::string> value = file.GetValue(KeyPath(root, subKey), name);
    if (!value || value->empty() || value->size() > kMaxRegistryValueLength)
        return defaultText;
    return *value;
}

bool RegWriteString(HKEY root, const std::string& subKey, const std::string& name, const std::string& text)
{
    std::string key = KeyPath(root, subKey);
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), false,
                                 [&](CRegistryFile& file) { return file.SetValue(key, name, text); });
}

bool RegWriteValues(HKEY root, const std::string& subKey, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string key = KeyPath(root, subKey);
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), false, [&](CRegistryFile& file) {
        for (const auto& [name, text] : values) {
            if (!file.SetValue(key, name, text))
                return false;
        }
        return true;
    });
}

std::vector<std::pair<std::string, std::string>> RegReadValues(HKEY root, const std::string& subKey)
{
    CRegistryFile file = CRegistryFile::Load(CRegistryFile::DefaultPath());
    std::vector<std::pair<std::string, std::string>> values = file.GetValues(KeyPath(root, subKey));
    std::erase_if(values, [](const auto& value) { return value.second.size() > kMaxRegistryValueLength; });
    return values;
}

bool RegReplaceKey(HKEY root, const std::string& subKey, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string key = KeyPath(root, subKey);
    std::string parent = key.substr(0, key.rfind('\\'));
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), false, [&](CRegistryFile& file) {
        if (!file.HasKey(parent))
            return false;
        file.DeleteKey(key);
        file.CreateKey(key);
        for (const auto& [name, text] : values)
            file.SetValue(key, name, text);
        return true;
    });
}

bool RegCreateKey(HKEY root, const std::string& subKey)
{
    std::string key = KeyPath(root, subKey);
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), true, [&](CRegistryFile& file) {
        std::string path;
        size_t start = 0;
        // Parents first, as RegCreateKeyEx makes every missing level.
        for (;;) {
            size_t slash = key.find('\\', start);
            path = key.substr(0, slash);
            if (slash != 0 && path.find('\\') != std::string::npos && !file.HasKey(path))
                file.CreateKey(path);
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
        return true;
    });
}

bool RegDeleteKey(HKEY root, const std::string& subKey)
{
    std::string key = KeyPath(root, subKey);
    return CRegistryFile::Update(CRegistryFile::DefaultPath(), false,
                                 [&](CRegistryFile& file) { return file.DeleteKey(key); });
}
