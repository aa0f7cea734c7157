#include "ModalDialog.h"

void CModalDialogCore::EndDialog(int result)
{
    if (m_ended)
        return;
    m_ended = true;
    m_result = result;
}

void CModalDialogCore::SetCaption(const std::string& caption)
{
    m_view.caption = caption;
    Changed();
}

void CModalDialogCore::SetText(const std::string& text)
{
    m_view.text = text;
    Changed();
}

void CModalDialogCore::SetRange(int low, int high)
{
    m_view.rangeLow = low;
    m_view.rangeHigh = high;
    Changed();
}

void CModalDialogCore::SetPosition(int position)
{
    m_view.position = position;
    Changed();
}

void CModalDialogCore::EnableCancel(bool enabled)
{
    m_view.cancelEnabled = enabled;
    Changed();
}

void CModalDialogCore::SetWindowStyle(bool progressBarShown, bool topmostCentred)
{
    m_view.progressBarShown = progressBarShown;
    m_view.topmostCentred = topmostCentred;
    Changed();
}

void CModalDialogCore::Changed()
{
    if (m_viewChanged)
        m_viewChanged();
}
