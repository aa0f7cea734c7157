#pragma once

#include <functional>

#include "UserPrompt.h"

class QMessageBox;

// Message boxes as Qt shows them, owned by the active window. The button set and the icon
// come from the MB_ type; the answer is the IDOK, IDYES, ... of the button chosen.
class CQtUserPrompt : public IUserPrompt
{
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;

    // Called with each box once it is showing (tests press its buttons from here).
    void SetShownHook(std::function<void(QMessageBox&)> hook) { m_shownHook = std::move(hook); }

private:
    std::function<void(QMessageBox&)> m_shownHook;
};
