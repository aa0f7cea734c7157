#pragma once

#include <string>
#include <vector>

#include "ClassPathScanThread.h"
#include "ModalDialog.h"

// The "Scanning ..." dialog without its window: it starts the scan when it opens, moves
// the progress bar one step per class name looked up and per archive of the scan
// locations (naming the archive it reads), and ends with IDOK when the scan has finished
// or the user cancelled it. Destroying the dialog waits for the scan's thread.
class CScanProgressDlg : public CModalDialogCore
{
public:
    CScanProgressDlg(std::string classPath, bool direct, CPrefixCache& cache = CPrefixCache::Process());

    // The scan locations searched after the CLASSPATH; set before the dialog opens.
    void SetLocations(std::vector<std::string> locations) { m_locations = std::move(locations); }

    void OnInitDialog(HWND self) override;
    void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;

    int GetStepCount() const { return m_steps; }
    // The scan itself; its lists may be read once the dialog has ended and EndScan returned.
    CClassPathScanThread& GetScan() { return m_thread; }
    // Waits for the scan's thread (the destructor does the same).
    void EndScan() { m_thread.Shutdown(); }

    // Dialog resource and control ids of the window that shows this dialog.
    static constexpr int kDialogId = 518;
    static constexpr int kTextId = 207;
    static constexpr int kProgressBarId = 208;

private:
    std::string m_classPath;
    std::vector<std::string> m_locations;
    bool m_direct;
    int m_steps = 0;
    CWorker<CClassPathScanThread> m_thread;
};
