#pragma once

#include <string>

#include <jni.h>

// The UTF characters of one Java string, released when this goes out of scope, so that
// every path of a native method gives them back to the JVM.
class CJavaString
{
public:
    CJavaString(JNIEnv* env, jstring string);
    ~CJavaString();
    CJavaString(const CJavaString&) = delete;
    CJavaString& operator=(const CJavaString&) = delete;

    // The string as UTF-8 for the bus. False, with the reason in error, for a null string,
    // characters the JVM could not hand out, or text a bus string cannot carry.
    bool ToUtf8(std::string& text, std::string& error) const;

private:
    JNIEnv* m_env;
    jstring m_string;
    const char* m_chars = nullptr;
};
