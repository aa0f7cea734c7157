#include "QtUserPrompt.h"

#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "EscapeFilter.h"

namespace
{
constexpr unsigned kButtonMask = 0xF;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kAbortRetryIgnore = 0x2;
constexpr unsigned kYesNoCancel = 0x3;
constexpr unsigned kRetryCancel = 0x5;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;

struct CButton
{
    QMessageBox::StandardButton button;
    int id;
};

std::vector<CButton> ButtonsFor(unsigned type)
{
    switch (type & kButtonMask) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case kAbortRetryIgnore:
        return {{QMessageBox::Abort, kIdAbort}, {QMessageBox::Retry, kIdRetry}, {QMessageBox::Ignore, kIdIgnore}};
    case kYesNoCancel:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case kRetryCancel:
        return {{QMessageBox::Retry, kIdRetry}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconFor(unsigned type)
{
    switch (type & kIconMask) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
}  // namespace

int CQtUserPrompt::MessageBox(const std::string& text, const std::string& caption, unsigned type)
{
    QMessageBox box(IconFor(type), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    CEscapeFilter::InstallOn(&box);
    std::vector<CButton> buttons = ButtonsFor(type);
    for (const CButton& button : buttons)
        box.addButton(button.button);
    box.setDefaultButton(buttons.front().button);
    if (m_shownHook)
        QTimer::singleShot(0, &box, [this, &box] { m_shownHook(box); });
    box.exec();

    QAbstractButton* clicked = box.clickedButton();
    for (const CButton& button : buttons) {
        if (clicked && clicked == box.button(button.button))
            return button.id;
    }
    // Closed by the window manager: the answer of the box's cancelling button, else the
    // only button there is.
    for (const CButton& button : buttons) {
        if (button.id == IDCANCEL || button.id == IDNO)
            return button.id;
    }
    return buttons.front().id;
}
