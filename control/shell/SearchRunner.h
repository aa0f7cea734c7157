#pragma once

#include <functional>
#include <memory>
#include <string>

#include "MessageTarget.h"

class CItemList;
class CSearchThread;
class IModalRunner;

// Runs a collection's search behind the modal "Searching..." dialog and hands its results
// over only once the search's thread has finished.
class CSearchRunner
{
public:
    // Creates the search, not yet started, filling results and reporting to dialog.
    using CThreadFactory = std::function<std::unique_ptr<CSearchThread>(CItemList& results, HWND dialog)>;

    // showProgressBar: the search counts its steps on the dialog's progress bar.
    CSearchRunner(IModalRunner& runner, bool showProgressBar);

    // The dialog's end code: IDOK when the search finished, IDCANCEL when it was cancelled.
    int Run(const std::string& text, const CThreadFactory& factory, CItemList& results) const;

private:
    IModalRunner& m_runner;
    bool m_showProgressBar;
};
