#pragma once

#include <string>

#include <QDialog>

#include "SpindleCtrl.h"

// Brings a main window to the front: shown as it is when minimised, otherwise shown without
// taking the focus; then raised and activated.
void ActivateMainWindow(QWidget* window);

// The main window: the browser control filling it, an About entry, the selection path in
// the caption. Enter and Escape leave it open; the close box ends it and so the program.
class CVantrelDlg : public QDialog, private ISpindleCtrlEvents
{
public:
    static constexpr int kMinWidth = 640;
    static constexpr int kMinHeight = 320;
    static constexpr const char* kAboutMenuText = "&About Corvane Component Manager...";

    explicit CVantrelDlg(QWidget* parent = nullptr);
    ~CVantrelDlg() override;

    // Creates the control and runs modally; -1 at once when there is no control.
    int DoModal();
    // Creates the control in the window and adds the About entry; false without a control.
    bool OnInitDialog();

    void ShowTab(const std::string& tabName);
    void ShowJavaItem(const std::string& packageName, const std::string& className, const std::string& methodName);

    // False while a nested modal dialog (About box, message box, progress) is open above it.
    bool IsInputEnabled() const;
    // Runs the About box modally.
    void OnAbout();

    QWidget* GetControlWindow() const { return m_control.GetWindow(); }

    // The OK command (Enter) leaves the dialog open.
    void accept() override;
    // Ending the dialog keeps its place and size for the next start.
    void done(int result) override;

    // The place and size kept from the last run, when its top edge is still on a screen;
    // otherwise only the size, and the window goes where a new one would.
    void RestorePlacement();
    void SavePlacement() const;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void TreeSelectionChanged(const std::string& selection) override;
    // The place the window goes back to from maximised.
    void RememberNormalGeometry();

    CSpindleCtrl m_control;
    bool m_advised = false;
    QRect m_normalGeometry;
};
