#include "QtUserPrompt.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include <gtest/gtest.h>

namespace
{
struct CShown
{
    QString caption;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool visibleAfterEscape = false;
};

// Shows a box, looks at it, presses Escape, then answers with the given button (or closes
// the window when none).
int Show(const std::string& text, unsigned type, QMessageBox::StandardButton press, CShown& shown)
{
    CQtUserPrompt prompt;
    prompt.SetShownHook([&shown, press](QMessageBox& box) {
        shown.caption = box.windowTitle();
        shown.text = box.text();
        shown.format = box.textFormat();
        shown.icon = box.icon();
        shown.buttons = box.standardButtons();
        QTest::keyClick(&box, Qt::Key_Escape);
        shown.visibleAfterEscape = box.isVisible();
        if (press == QMessageBox::NoButton)
            box.close();
        else
            box.button(press)->click();
    });
    return prompt.MessageBox(text, kAppTitle, type);
}
}  // namespace

TEST(QtUserPrompt, ButtonsIconAndAnswerFollowTheType)
{
    struct
    {
        unsigned type;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton press;
        int answer;
    } cases[] = {
        {MB_OK, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok, IDOK},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::Yes, IDYES},
        {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, QMessageBox::No, IDNO},
        {MB_OKCANCEL | MB_ICONEXCLAMATION, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning,
         QMessageBox::Cancel, IDCANCEL},
        {MB_OK | MB_ICONSTOP, QMessageBox::Ok, QMessageBox::Critical, QMessageBox::Ok, IDOK},
        {MB_OK | MB_ICONINFORMATION, QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok, IDOK},
    };
    for (const auto& c : cases) {
        CShown shown;
        EXPECT_EQ(Show("There were no search results found.", c.type, c.press, shown), c.answer) << c.type;
        EXPECT_EQ(shown.caption, "Corvane Component Manager");
        EXPECT_EQ(shown.text, "There were no search results found.");
        EXPECT_EQ(shown.buttons, c.buttons) << c.type;
        EXPECT_EQ(shown.icon, c.icon) << c.type;
        EXPECT_TRUE(shown.visibleAfterEscape) << "Escape closed the box of type " << c.type;
    }
}

TEST(QtUserPrompt, ClosingTheWindowAnswersTheCancellingButton)
{
    CShown shown;
    EXPECT_EQ(Show("Would you like to perform a scan?", MB_YESNO, QMessageBox::NoButton, shown), IDNO);
    EXPECT_EQ(Show("Done.", MB_OK, QMessageBox::NoButton, shown), IDOK);
    EXPECT_EQ(Show("Go on?", MB_OKCANCEL, QMessageBox::NoButton, shown), IDCANCEL);
}

TEST(QtUserPrompt, TextIsShownAsItStands)
{
    CShown shown;
    Show("<b>not bold</b> & \"quoted\"", MB_OK, QMessageBox::Ok, shown);
    EXPECT_EQ(shown.text, "<b>not bold</b> & \"quoted\"");
    EXPECT_EQ(shown.format, Qt::PlainText);
}
