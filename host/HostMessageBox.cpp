#include "HostMessageBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace
{
constexpr unsigned kButtonMask = 0xF;
constexpr unsigned kIconMask = 0xF0;

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

int CHostMessageBox::MessageBox(const std::string& text, const std::string& caption, unsigned type)
{
    QMessageBox box(IconFor(type), QString::fromStdString(caption), QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    if ((type & kButtonMask) == MB_YESNO) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        box.addButton(QMessageBox::No);
        box.setDefaultButton(yes);
        box.exec();
        // The close box counts as No.
        return box.clickedButton() == yes ? IDYES : IDNO;
    }
    box.setDefaultButton(box.addButton(QMessageBox::Ok));
    box.exec();
    return IDOK;
}
