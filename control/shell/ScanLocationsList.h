#pragma once

#include <string>
#include <vector>

#include <QWidget>

class CDialogUnits;
class QListWidget;
class QPushButton;

// The Options dialog's list of what a scan searches: the CLASSPATH, always first, then the
// folders and archives the user chose, with buttons to add and remove them.
class CScanLocationsList : public QWidget
{
public:
    CScanLocationsList(const CDialogUnits& units, QWidget* parent);

    void SetLocations(const std::vector<std::string>& locations);
    std::vector<std::string> GetLocations() const;
    // False, changing nothing, for a location already listed or too long to be kept.
    bool AddLocation(const std::string& path);
    // Removes the selected location; the CLASSPATH stays.
    void RemoveSelected();

    QListWidget* GetList() const { return m_list; }
    QPushButton* GetRemoveButton() const { return m_remove; }

private:
    void AddFromDialog(bool folder);
    void UpdateButtons();

    QListWidget* m_list = nullptr;
    QPushButton* m_addFolder = nullptr;
    QPushButton* m_addArchive = nullptr;
    QPushButton* m_remove = nullptr;
};
