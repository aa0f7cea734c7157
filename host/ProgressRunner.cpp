#include "ProgressRunner.h"

#include <QApplication>

#include "ProgressDlg.h"

int CProgressRunner::RunModal(CModalDialogCore& dialog)
{
    CProgressDlg window(dialog, QApplication::activeWindow());
    return window.RunModal();
}
