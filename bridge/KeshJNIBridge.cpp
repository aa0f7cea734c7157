// The native methods of the IDE plug-ins' KeshJNIBridge classes. Each turns into one call
// on the host's automation object; every failure ends here, silently, and the Java caller
// simply returns.
#include <exception>
#include <string>
#include <vector>

#include <jni.h>

#include "ErrorReport.h"
#include "HostConnection.h"
#include "JavaString.h"

namespace
{
void CallHost(const char* operation, const char* method, const std::vector<std::string>& args)
{
    std::string error;
    if (!CHostConnection::Instance().Call(method, args, error))
        ReportError(error, operation);
}

// No C++ exception may unwind into the JVM.
template <typename Body>
void Guarded(const char* operation, Body body) noexcept
{
    try {
        body();
    } catch (const std::exception& e) {
        ReportError(e.what(), operation);
    } catch (...) {
        ReportError("unknown exception", operation);
    }
}
}  // namespace

extern "C" {

JNIEXPORT void JNICALL launchExternal(JNIEnv*, jobject)
{
    Guarded("launchExternal", [] { CallHost("launchExternal", "Launch", {}); });
}

JNIEXPORT void JNICALL openDialogWindow(JNIEnv* env, jobject, jstring tab)
{
    Guarded("openDialogWindow", [&] {
        CJavaString tabName(env, tab);
        std::string text;
        std::string error;
        if (!tabName.ToUtf8(text, error)) {
            ReportError(error, "openDialogWindow");
            return;
        }
        CallHost("openDialogWindow", "ShowTab", {text});
    });
}

JNIEXPORT void JNICALL openJavaTab(JNIEnv* env, jobject, jstring package, jstring className, jstring method)
{
    Guarded("openJavaTab", [&] {
        CJavaString strings[] = {{env, package}, {env, className}, {env, method}};
        std::vector<std::string> args(3);
        std::string error;
        for (int i = 0; i < 3; ++i) {
            if (!strings[i].ToUtf8(args[i], error)) {
                ReportError(error, "openJavaTab");
                return;
            }
        }
        CallHost("openJavaTab", "ShowJavaItem", args);
    });
}

// The same three methods for each plug-in's class; the package only decides which class binds.
JNIEXPORT void JNICALL Java_com_quorbix_ide_forte_KeshJNIBridge_launchExternal(JNIEnv* env, jobject receiver)
{
    launchExternal(env, receiver);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_forte_KeshJNIBridge_openDialogWindow(
    JNIEnv* env, jobject receiver, jstring tab)
{
    openDialogWindow(env, receiver, tab);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_forte_KeshJNIBridge_openJavaTab(
    JNIEnv* env, jobject receiver, jstring package, jstring className, jstring method)
{
    openJavaTab(env, receiver, package, className, method);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_jbuilder_KeshJNIBridge_launchExternal(JNIEnv* env, jobject receiver)
{
    launchExternal(env, receiver);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_jbuilder_KeshJNIBridge_openDialogWindow(
    JNIEnv* env, jobject receiver, jstring tab)
{
    openDialogWindow(env, receiver, tab);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_jbuilder_KeshJNIBridge_openJavaTab(
    JNIEnv* env, jobject receiver, jstring package, jstring className, jstring method)
{
    openJavaTab(env, receiver, package, className, method);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_vc_KeshJNIBridge_launchExternal(JNIEnv* env, jobject receiver)
{
    launchExternal(env, receiver);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_vc_KeshJNIBridge_openDialogWindow(
    JNIEnv* env, jobject receiver, jstring tab)
{
    openDialogWindow(env, receiver, tab);
}

JNIEXPORT void JNICALL Java_com_quorbix_ide_vc_KeshJNIBridge_openJavaTab(
    JNIEnv* env, jobject receiver, jstring package, jstring className, jstring method)
{
    openJavaTab(env, receiver, package, className, method);
}

}  // extern "C"
