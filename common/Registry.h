#pragma once

#include <string>

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

// Installer side: creates the key (and its parents) when missing, creating the file too.
bool RegCreateKey(HKEY root, const std::string& subKey);
// Removes the key with everything below it.
bool RegDeleteKey(HKEY root, const std::string& subKey);
