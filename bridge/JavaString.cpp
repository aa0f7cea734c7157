#include "JavaString.h"

#include "ModifiedUtf8.h"

CJavaString::CJavaString(JNIEnv* env, jstring string)
    : m_env(env)
    , m_string(string)
{
    if (!m_string)
        return;
    m_chars = m_env->GetStringUTFChars(m_string, nullptr);
    // Out of memory leaves an OutOfMemoryError pending; the bridge throws nothing into
    // the IDE, so the failure ends here like every other.
    if (!m_chars && m_env->ExceptionCheck())
        m_env->ExceptionClear();
}

CJavaString::~CJavaString()
{
    if (m_chars)
        m_env->ReleaseStringUTFChars(m_string, m_chars);
}

bool CJavaString::ToUtf8(std::string& text, std::string& error) const
{
    if (!m_string) {
        error = "null string";
        return false;
    }
    if (!m_chars) {
        error = "out of memory";
        return false;
    }
    if (!ModifiedUtf8ToUtf8(m_chars, text)) {
        error = "string not representable on the bus";
        return false;
    }
    return true;
}
