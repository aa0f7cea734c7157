#pragma once

#include "UserPrompt.h"

// The host's message boxes: Qt's, without an owner, as start-up shows them before there is
// a main window. Answers the IDOK, IDYES or IDNO of the button chosen.
class CHostMessageBox : public IUserPrompt
{
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
};
