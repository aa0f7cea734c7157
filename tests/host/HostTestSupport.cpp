#include "HostTestSupport.h"

#include <stdexcept>

#include "Registry.h"
#include "SpindleCtrlInterface.h"

void RegisterControlLibrary(const std::string& path)
{
    const std::string key = std::string("CLSID\\") + kSpindleCtrlClsid + "\\InprocServer32";
    if (!RegCreateKey(HKEY_CLASSES_ROOT, key) || !RegWriteString(HKEY_CLASSES_ROOT, key, "", path))
        throw std::runtime_error("cannot register the control library");
}
