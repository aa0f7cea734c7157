#include "QtModalRunner.h"

#include <QApplication>
#include <QTimer>

#include "ProgressDialog.h"
#include "QtMessageTarget.h"

int CQtModalRunner::RunModal(CModalDialogCore& core)
{
    CProgressDialog::COptions options;
    options.showProgressBar = core.GetView().progressBarShown;
    options.topmostCentred = core.GetView().topmostCentred;
    CProgressDialog dialog(core, options, QApplication::activeWindow());
    core.SetViewChanged([&dialog] { dialog.UpdateView(); });
    {
        CQtMessageTarget target([&core, &dialog](unsigned message, WPARAM wParam, LPARAM lParam) {
            if (core.HasEnded())
                return;
            core.OnMessage(message, wParam, lParam);
            dialog.EndIfCoreEnded();
        });
        core.OnInitDialog(target.GetHandle());
        // A core that ended while opening (its work could not start) shows no window.
        if (!core.HasEnded()) {
            if (m_shownHook)
                QTimer::singleShot(0, &dialog, [this, &dialog] { m_shownHook(dialog); });
            dialog.exec();
        }
    }
    core.SetViewChanged(nullptr);
    // Only a quitting application ends the window without the core: stop its work as
    // Cancel would.
    if (!core.HasEnded())
        core.OnCancel();
    if (!core.HasEnded())
        core.EndDialog(IDCANCEL);
    return core.GetResult();
}
