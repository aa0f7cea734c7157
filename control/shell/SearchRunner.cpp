#include "SearchRunner.h"

#include "ModalDialog.h"
#include "SearchProgressDlg.h"
#include "SearchThread.h"

CSearchRunner::CSearchRunner(IModalRunner& runner, bool showProgressBar)
    : m_runner(runner)
    , m_showProgressBar(showProgressBar)
{
}

int CSearchRunner::Run(const std::string& text, const CThreadFactory& factory, CItemList& results) const
{
    CSearchProgressDlg dialog(
        text, [&factory, &results](HWND self) { return factory(results, self); }, m_showProgressBar);
    const int result = m_runner.RunModal(dialog);
    // The results are read only once the search's thread has finished.
    dialog.EndSearch();
    return result;
}
