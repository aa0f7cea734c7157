#include "HeadlessModalRunner.h"

#include "MessageQueue.h"

CHeadlessModalRunner::CHeadlessModalRunner(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
{
}

int CHeadlessModalRunner::RunModal(CModalDialogCore& dialog)
{
    CMessageQueue queue;
    m_delivered = 0;
    dialog.OnInitDialog(queue.GetHandle());
    auto deadline = std::chrono::steady_clock::now() + m_timeout;
    bool cancelled = false;
    while (!dialog.HasEnded()) {
        if (m_cancelAfter && m_delivered >= *m_cancelAfter && !cancelled) {
            cancelled = true;
            if (dialog.GetView().cancelEnabled)
                dialog.OnCancel();
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            if (!cancelled && dialog.GetView().cancelEnabled) {
                cancelled = true;
                dialog.OnCancel();
                deadline = now + std::chrono::seconds(5);
                continue;
            }
            dialog.EndDialog(IDCANCEL);
            break;
        }
        CMessage message;
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        if (queue.GetMessage(message, std::min(wait, std::chrono::milliseconds(100)))) {
            ++m_delivered;
            dialog.OnMessage(message.message, message.wParam, message.lParam);
        }
    }
    return dialog.GetResult();
}
