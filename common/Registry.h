#pragma once

#include <string>
#include <utility>
#include <vector>

// The two registry roots the system uses; keys inside them keep their Windows form
// ("Software\Corvane\Vantrel").
enum HKEY
{
    HKEY_LOCAL_MACHINE,
    HKEY_CLASSES_ROOT,
};

// Values longer than this read as missing, as they did not fit the 260-byte buffer.
constexpr size_t kMaxRegistryValueLength = 259;

// The value, or defaultText when the key or value is missing, empty or too long.
// Reads the registry file anew on every call and never locks.
std::string RegReadString(HKEY root, const std::string& subKey, const std::string& name,
                          const std::string& defaultText);

// Stores the value; writes nothing when the key does not exist. An empty name is the
// key's default value. Answers whether the value was stored.
bool RegWriteString(HKEY root, const std::string& subKey, const std::string& name, const std::string& text);

// Stores several values of one key in one change of the file; writes nothing when the key
// does not exist.
bool RegWriteValues(HKEY root, const std::string& subKey, const std::vector<std::pair<std::string, std::string>>& values);

// Every value of the key, in the order the file holds them; values too long to read are
// left out.
std::vector<std::pair<std::string, std::string>> RegReadValues(HKEY root, const std::string& subKey);
// Replaces the key subKey of an existing parent key by one holding exactly these values.
// Writes nothing when the parent key does not exist.
bool RegReplaceKey(HKEY root, const std::string& subKey, const std::vector<std::pair<std::string, std::string>>& values);

// Installer side: creates the key (and its parents) when missing, creating the file too.
bool RegCreateKey(HKEY root, const std::string& subKey);
// Removes the key with everything below it.
bool RegDeleteKey(HKEY root, const std::string& subKey);
