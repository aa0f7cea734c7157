#pragma once

#include <array>
#include <string>

class CHttpDownload;
class IModalRunner;
class IUserPrompt;

// What the host does with the vendor's servers at start: register this installation for
// its client id, then bring the installed files up to date from the distribution server.
class CSelfUpdate
{
public:
    struct CFileResult
    {
        bool result = true;      // false only when a download was tried and failed
        bool newer = false;      // the server's copy differs from the last one fetched
        bool accepted = false;   // the user said Yes to the update question
        bool scheduled = false;  // a replacement at the next start was requested
    };

    // The installed files in the order they are looked at; the first decides whether the
    // others are, the first two are replaced at once, the rest at the next start.
    static const std::array<const char*, 5> kUpdateFiles;

    CSelfUpdate(IModalRunner& runner, IUserPrompt& prompt);

    // Asks for the client id and stores it as "Key"; true when the request succeeded.
    bool RegisterClient();
    // Sets restart when a file waits for the next start.
    void UpdateComponents(bool& restart);
    CFileResult UpdateComponentFile(const std::string& name, CHttpDownload& http, bool ask, bool atRestart);

    // The version sent with the client-id request: this program's product version.
    static std::string ProductVersionText();

private:
    IModalRunner& m_runner;
    IUserPrompt& m_prompt;
};
