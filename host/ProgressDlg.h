#pragma once

#include <QDialog>

#include "ModalDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The window of a modal progress dialog core ("Downloading ..."): its caption, text, bar
// and Cancel, following the core's view; the core's posted messages reach it here.
class CProgressDlg : public QDialog
{
public:
    explicit CProgressDlg(CModalDialogCore& core, QWidget* parent = nullptr);
    ~CProgressDlg() override;

    // Runs the core until it ends and answers its end code.
    int RunModal();

    QLabel* GetTextLabel() const { return m_text; }
    QProgressBar* GetProgressBar() const { return m_bar; }
    QPushButton* GetCancelButton() const { return m_cancel; }

    // The close box, like Cancel, reaches the core only while its Cancel is enabled.
    void reject() override;

private:
    void UpdateView();
    void Deliver(unsigned message, WPARAM wParam, LPARAM lParam);
    void EndIfCoreEnded();

    CModalDialogCore& m_core;
    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};
