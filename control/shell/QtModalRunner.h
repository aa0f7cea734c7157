#pragma once

#include <functional>

#include "ModalDialog.h"

class CProgressDialog;

// Runs a dialog core in a modal Qt progress dialog owned by the active window: the core's
// messages are delivered on the user-interface thread until it ends.
class CQtModalRunner : public IModalRunner
{
public:
    int RunModal(CModalDialogCore& dialog) override;

    // Called with each dialog once it is showing (tests press its buttons from here).
    void SetShownHook(std::function<void(CProgressDialog&)> hook) { m_shownHook = std::move(hook); }

private:
    std::function<void(CProgressDialog&)> m_shownHook;
};
