#pragma once

#include <string>

// Message boxes, answered by the control's shell in the program and by scripted answers in tests.

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr unsigned MB_YESNO = 0x4;
constexpr unsigned MB_ICONSTOP = 0x10;
constexpr unsigned MB_ICONQUESTION = 0x20;
constexpr unsigned MB_ICONEXCLAMATION = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The caption of every message box the system shows.
inline constexpr const char* kAppTitle = "Corvane Component Manager";

class IUserPrompt
{
public:
    virtual ~IUserPrompt() = default;
    // Shows a modal message box and answers the button chosen (IDOK, IDYES, ...).
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
};
