#include "HostTestSupport.h"

#include <stdexcept>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include "Registry.h"
#include "SpindleCtrlInterface.h"

void RegisterControlLibrary(const std::string& path)
{
    const std::string key = std::string("CLSID\\") + kSpindleCtrlClsid + "\\InprocServer32";
    if (!RegCreateKey(HKEY_CLASSES_ROOT, key) || !RegWriteString(HKEY_CLASSES_ROOT, key, "", path))
        throw std::runtime_error("cannot register the control library");
}

bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void ProcessEventsFor(std::chrono::milliseconds time)
{
    ProcessEventsUntil([] { return false; }, time);
}
