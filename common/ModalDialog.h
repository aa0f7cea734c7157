#pragma once

#include <functional>
#include <string>

#include "MessageTarget.h"
#include "UserPrompt.h"

// The logic of a modal progress dialog without its window: what it shows, how it reacts
// to the messages its worker posts, and when it ends. A runner gives it a message target
// and delivers posted messages on the thread that runs it.
class CModalDialogCore
{
public:
    struct CProgressView
    {
        std::string caption;
        std::string text;
        int rangeLow = 0;
        int rangeHigh = 100;
        int position = 0;
        bool cancelEnabled = true;
        bool progressBarShown = true;
        // Above every other window and centred on the screen ("Searching...").
        bool topmostCentred = false;
    };

    virtual ~CModalDialogCore() = default;

    // The dialog exists and self receives its posted messages.
    virtual void OnInitDialog(HWND self) { (void)self; }
    virtual void OnMessage(unsigned message, WPARAM wParam, LPARAM lParam)
    {
        (void)message, (void)wParam, (void)lParam;
    }
    // The user pressed Cancel (or closed the dialog) while Cancel was enabled.
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    void EndDialog(int result);
    bool HasEnded() const { return m_ended; }
    int GetResult() const { return m_result; }

    const CProgressView& GetView() const { return m_view; }
    // Called whenever the view changes, so that a window can repaint.
    void SetViewChanged(std::function<void()> changed) { m_viewChanged = std::move(changed); }


protected:
    void SetCaption(const std::string& caption);
    void SetText(const std::string& text);
    void SetRange(int low, int high);
    void SetPosition(int position);
    void EnableCancel(bool enabled);
    void SetWindowStyle(bool progressBarShown, bool topmostCentred);

private:
    void Changed();

    CProgressView m_view;
    std::function<void()> m_viewChanged;
    bool m_ended = false;
    int m_result = 0;
};

// Runs a dialog core modally and answers its end code.
class IModalRunner
{
public:
    virtual ~IModalRunner() = default;
    virtual int RunModal(CModalDialogCore& dialog) = 0;
};
