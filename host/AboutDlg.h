#pragma once

#include <string>

#include <QDialog>

class QLabel;

// The About box: product name, the host's file version and the control library's version,
// our picture and the legal lines. Every line that cannot be read is only shortened.
class CAboutDlg : public QDialog
{
public:
    static constexpr const char* kHostFileName = "tarnel";
    static constexpr const char* kControlFileName = "libtarnelctrl.so";

    explicit CAboutDlg(QWidget* parent = nullptr);

    // Reads the versions and shows the three lines.
    void OnInitDialog();
    int DoModal();

    const std::string& GetProductName() const { return m_productName; }
    const std::string& GetHostVersionLine() const { return m_hostVersionLine; }
    const std::string& GetControlVersionLine() const { return m_controlVersionLine; }

private:
    std::string m_hostVersionLine;
    std::string m_productName;
    std::string m_controlVersionLine;
    QLabel* m_productLabel;
    QLabel* m_hostLabel;
    QLabel* m_controlLabel;
};
