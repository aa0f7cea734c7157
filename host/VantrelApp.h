#pragma once

#include <memory>
#include <string>

#include <QDBusConnection>

class CAutomationServer;
class CVantrelDlg;
class IModalRunner;
class IUserPrompt;

// The host program's start-up: a sequence of steps under a continue flag. A step that ends
// the program clears the flag and every later step is skipped; after the last step, which
// runs the main window modally, the program ends.
class CVantrelApp
{
public:
    static constexpr const char* kXmlParserMissingMessage =
        "A required component is missing on this system. Please click OK to get further instructions.";
    static constexpr const char* kXmlParserMissingPage = "/kesh/msxml3missing.jsp";
    static constexpr const char* kRestartMessage = "Please restart Corvane Component Manager after it exits.";

    // commandLine: the arguments after the program name joined by blanks. bus: the session
    // bus, which may be disconnected; single instance and automation need it.
    CVantrelApp(std::string commandLine, IUserPrompt& prompt, IModalRunner& runner, QDBusConnection bus);
    ~CVantrelApp();
    CVantrelApp(const CVantrelApp&) = delete;
    CVantrelApp& operator=(const CVantrelApp&) = delete;

    // Every step in order, then the exit step.
    void InitInstance();

    // The steps. CheckXmlParser answers whether the parser can be used.
    bool CheckXmlParser();
    void TestStartSwitches();
    void KeepSingleInstance();
    void HandleRegisterSwitch();
    void RegisterAndUpdate();
    void PublishAutomation();
    void RunMainDialog();
    // Gives up the bus name and the object and releases every client's object.
    void ExitInstance();

    bool GetContinue() const { return m_continue; }
    bool IsStandAlone() const { return m_standAlone; }
    // A program the user started stays open when its last automation object goes.
    bool IsUserControl() const { return m_userControl; }
    const std::string& GetCommandLine() const { return m_commandLine; }

    // The count of automation objects. The last one to go closes a program that the bus
    // started, unless a nested modal dialog is open then.
    void LockApp();
    void UnlockApp();
    int GetObjectCount() const { return m_objectCount; }

    CVantrelDlg* GetMainWindow() const { return m_mainWindow; }
    void SetMainWindow(CVantrelDlg* window) { m_mainWindow = window; }
    CAutomationServer* GetAutomationServer() const { return m_server.get(); }

    // The parser library that CheckXmlParser loads (tests name one that cannot serve).
    void SetXmlParserLibrary(std::string library) { m_xmlParserLibrary = std::move(library); }
    // Present where systemd runs the system; it decides how the no-server notice says to start one.
    void SetSystemdDirectory(std::string dir) { m_systemdDir = std::move(dir); }

    // This program's full path, as the registration entries name it.
    static std::string ProgramPath();

private:
    std::string m_commandLine;
    IUserPrompt& m_prompt;
    IModalRunner& m_runner;
    QDBusConnection m_bus;
    std::string m_xmlParserLibrary;
    std::string m_systemdDir = "/run/systemd/system";
    bool m_continue = true;
    bool m_standAlone = true;
    bool m_userControl = true;
    int m_objectCount = 0;
    CVantrelDlg* m_mainWindow = nullptr;
    std::unique_ptr<CAutomationServer> m_server;  // last: its clients' objects call back
};
