#include "JavaRun.h"

#include <chrono>
#include <sstream>

bool CJavaRun::Start(const std::string& busAddress, const std::vector<std::string>& steps,
                     const std::vector<std::string>& env)
{
    CEnvironment environment;
    for (const char* name : {"DBUS_STARTER_ADDRESS", "DBUS_STARTER_BUS_TYPE", "CORVANE_DEBUG", "LD_PRELOAD", "ASAN_OPTIONS"})
        environment.Remove(name);
    environment.Set("DBUS_SESSION_BUS_ADDRESS", busAddress);
    // A sanitized library needs its runtime loaded first; the JVM uses SIGSEGV and friends
    // itself, and what it keeps at exit is not ours.
    if (std::string(JAVA_PRELOAD).size()) {
        environment.Set("LD_PRELOAD", JAVA_PRELOAD)
            .Set("ASAN_OPTIONS", "detect_leaks=0:handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:"
                                 "allow_user_segv_handler=1:abort_on_error=1");
    }
    for (const std::string& assignment : env)
        environment.Set(assignment.substr(0, assignment.find('=')), assignment.substr(assignment.find('=') + 1));

    std::vector<std::string> argv = {JAVA_EXECUTABLE, "-Xcheck:jni", "-Djava.library.path=" BRIDGE_LIBRARY_DIR,
                                     "-cp", BRIDGE_CLASSES_DIR, "BridgeDriver"};
    argv.insert(argv.end(), steps.begin(), steps.end());
    return m_java.Start(argv, environment, m_dir.File("out"), m_dir.File("err"));
}

bool CJavaRun::Finish()
{
    m_exitCode = m_java.Wait(std::chrono::seconds(120));
    m_out = ReadFileText(m_dir.File("out"));
    m_err = ReadFileText(m_dir.File("err"));
    m_calls.clear();
    std::istringstream lines(m_out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        size_t number = 0;
        CCall call;
        if (!(words >> word) || word != "call" || !(words >> number >> call.result))
            continue;
        if (call.result == "threw") {
            words >> word;
            call.result += " " + word;
        }
        words >> call.ms;
        if (m_calls.size() < number)
            m_calls.resize(number);
        m_calls[number - 1] = call;
    }
    return m_exitCode != -1;
}
