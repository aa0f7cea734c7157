#pragma once

#include <QDialog>

#include "ModalDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The window of a modal progress dialog: caption, one line of text, a progress bar and
// Cancel, all following the view of the dialog core it shows. Cancel and the window's
// close button reach the core only while its Cancel is enabled; Escape does nothing.
class CProgressDialog : public QDialog
{
public:
    struct COptions
    {
        bool showProgressBar = true;
        // Above every other window and centred on the screen ("Searching...").
        bool topmostCentred = false;
    };

    CProgressDialog(CModalDialogCore& core, const COptions& options, QWidget* parent);

    // Shows the core's view again.
    void UpdateView();
    // Ends the window when the core has ended; true then.
    bool EndIfCoreEnded();

    QLabel* GetTextLabel() const { return m_text; }
    QProgressBar* GetProgressBar() const { return m_bar; }
    QPushButton* GetCancelButton() const { return m_cancel; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Cancel();

    CModalDialogCore& m_core;
    COptions m_options;
    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};
