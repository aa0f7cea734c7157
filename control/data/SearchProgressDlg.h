#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ModalDialog.h"

class CSearchThread;

// The "Searching..." dialog without its window: it creates its search when it opens,
// starts it, follows its messages on the progress bar and ends with IDOK when the search
// has finished. Cancel stops the search; the search is waited for when the dialog goes.
class CSearchProgressDlg : public CModalDialogCore
{
public:
    // The variant's start step: creates the search, not yet started, aimed at the dialog.
    using CStartStep = std::function<std::unique_ptr<CSearchThread>(HWND self)>;

    // searchText is shown as Searching for "searchText"; Local and Marketplace searches
    // hide the progress bar.
    CSearchProgressDlg(std::string searchText, CStartStep startStep, bool showProgressBar = true);
    ~CSearchProgressDlg() override;

    void OnInitDialog(HWND self) override;
    void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

    // Waits for the search and destroys it; the results may be read afterwards. The
    // destructor does the same.
    void EndSearch();

    bool IsProgressBarShown() const { return m_showProgressBar; }
    int GetStepCount() const { return m_steps; }

private:
    std::string m_searchText;
    CStartStep m_startStep;
    bool m_showProgressBar;
    int m_steps = 0;
    std::unique_ptr<CSearchThread> m_thread;
};
