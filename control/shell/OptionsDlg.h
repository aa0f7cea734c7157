#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "DialogUnits.h"

#include "JavaItem.h"

class CScanLocationsList;
class IModalRunner;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The "Options" dialog: the user's e-mail address, the firewall the HTTP client goes
// through, which Java technologies the Java tab shows and the scan locations; "Scan
// CLASSPATH" runs a staged scan of the CLASSPATH and the listed locations. Nothing is
// written before OK; Cancel writes nothing.
class COptionsDlg : public QDialog
{
public:
    // Control ids of the dialog's children.
    enum : int
    {
        kEmailId = 324,
        kFirewallId = 327,
        kHostId = 330,
        kPortId = 331,
        kUserNameId = 332,
        kPasswordId = 333,
        kConfirmId = 334,
        kTechnologiesId = 318,
        kScanId = 321,
        kOkId = 1,
        kCancelId = 2,
    };

    // Longest text read from a box.
    static constexpr int kMaxText = 255;

    // runner shows the scan's progress dialog. The settings and technologies are read here.
    explicit COptionsDlg(IModalRunner& runner, QWidget* parent = nullptr);
    ~COptionsDlg() override;

    // OK: writes the display preferences, moves a staged scan's index into place, then the
    // e-mail address and the firewall settings.
    void accept() override;
    // Scan CLASSPATH: the staged scan behind its "Scanning ..." dialog.
    void OnScanClassPath();

    bool IsScanDone() const { return m_scanDone; }
    // The technology of a tree item, or null.
    const CJavaItem* TechnologyOf(const QTreeWidgetItem* treeItem) const;

    QLineEdit* GetEmailEdit() const { return m_email; }
    QComboBox* GetFirewallCombo() const { return m_firewall; }
    QLineEdit* GetHostEdit() const { return m_host; }
    QLineEdit* GetPortEdit() const { return m_port; }
    QLineEdit* GetUserNameEdit() const { return m_userName; }
    QLineEdit* GetPasswordEdit() const { return m_password; }
    QLineEdit* GetConfirmEdit() const { return m_confirm; }
    QTreeWidget* GetTechnologyTree() const { return m_tree; }
    QPushButton* GetScanButton() const { return m_scan; }
    QPushButton* GetOkButton() const { return m_ok; }
    QPushButton* GetCancelButton() const { return m_cancel; }
    CScanLocationsList* GetLocationsList() const { return m_locations; }

    // The port as atoi reads it: leading blanks, a sign and digits; 0 when there are none.
    static int ParsePort(const std::string& text);

private:
    struct CTechnology
    {
        std::unique_ptr<CJavaItem> item;
        QTreeWidgetItem* treeItem;
    };

    void CreateChildren();
    void InitDialog();
    bool LoadTechnologies();
    void UpdateFirewallBoxes();
    bool SavePreferences();
    void SaveFirewall();
    static std::string ReadText(const QLineEdit* edit);

    IModalRunner& m_runner;
    CDialogUnits m_units;
    QLineEdit* m_email = nullptr;
    QComboBox* m_firewall = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_confirm = nullptr;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_scan = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    CScanLocationsList* m_locations = nullptr;

    std::vector<CTechnology> m_technologies;
    // The technologies could be listed; without them OK leaves the preferences alone.
    bool m_technologiesListed = false;
    bool m_scanDone = false;
};
