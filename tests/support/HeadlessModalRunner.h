#pragma once

#include <chrono>
#include <optional>

#include "ModalDialog.h"

// Runs a dialog core on the calling thread without a window: posted messages are taken
// from a queue and handed to the core until it ends. For tests and benchmarks.
class CHeadlessModalRunner : public IModalRunner
{
public:
    // A dialog that has not ended after timeout is cancelled, as a user would; one that
    // ignores the cancel is ended with IDCANCEL.
    explicit CHeadlessModalRunner(std::chrono::milliseconds timeout = std::chrono::minutes(10));

    // Press Cancel once this many messages have been delivered (for tests of cancelling).
    void CancelAfterMessages(int count) { m_cancelAfter = count; }

    int RunModal(CModalDialogCore& dialog) override;

    int GetMessagesDelivered() const { return m_delivered; }

private:
    std::chrono::milliseconds m_timeout;
    std::optional<int> m_cancelAfter;
    int m_delivered = 0;
};
