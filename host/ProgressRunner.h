#pragma once

#include "ModalDialog.h"

// Runs the host's progress dialog cores (the downloads of start-up) in a modal window.
class CProgressRunner : public IModalRunner
{
public:
    int RunModal(CModalDialogCore& dialog) override;
};
