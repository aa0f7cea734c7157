#include "ScanLocationsList.h"

#include <algorithm>
#include <cstdlib>

#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include "DialogUnits.h"
#include "Registry.h"

namespace
{
// The first row stands for the CLASSPATH; the others hold their path as data.
QString ClassPathText()
{
    const char* classPath = std::getenv("CLASSPATH");
    return classPath && *classPath ? QStringLiteral("CLASSPATH (always scanned first)")
                                   : QStringLiteral("CLASSPATH (not set)");
}
}  // namespace

CScanLocationsList::CScanLocationsList(const CDialogUnits& units, QWidget* parent) : QWidget(parent)
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("scanLocations"));
    m_list->setGeometry(units.Map(0, 0, 334, 56));
    m_addFolder = new QPushButton(QStringLiteral("Add Folder..."), this);
    m_addFolder->setGeometry(units.Map(340, 0, 62, 14));
    m_addArchive = new QPushButton(QStringLiteral("Add Archive..."), this);
    m_addArchive->setGeometry(units.Map(340, 18, 62, 14));
    m_remove = new QPushButton(QStringLiteral("Remove"), this);
    m_remove->setGeometry(units.Map(340, 36, 62, 14));
    for (QPushButton* button : {m_addFolder, m_addArchive, m_remove})
        button->setAutoDefault(false);

    connect(m_addFolder, &QPushButton::clicked, this, [this] { AddFromDialog(true); });
    connect(m_addArchive, &QPushButton::clicked, this, [this] { AddFromDialog(false); });
    connect(m_remove, &QPushButton::clicked, this, [this] { RemoveSelected(); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    SetLocations({});
}

void CScanLocationsList::SetLocations(const std::vector<std::string>& locations)
{
    m_list->clear();
    auto* classPath = new QListWidgetItem(ClassPathText(), m_list);
    QFont font = classPath->font();
    font.setItalic(true);
    classPath->setFont(font);
    for (const std::string& location : locations)
        AddLocation(location);
    UpdateButtons();
}

std::vector<std::string> CScanLocationsList::GetLocations() const
{
    std::vector<std::string> locations;
    for (int row = 1; row < m_list->count(); ++row)
        locations.push_back(m_list->item(row)->data(Qt::UserRole).toString().toStdString());
    return locations;
}

bool CScanLocationsList::AddLocation(const std::string& path)
{
    const std::vector<std::string> listed = GetLocations();
    // A setting holds at most so many bytes; a longer path could not be read back.
    if (path.empty() || path.size() > kMaxRegistryValueLength ||
        std::find(listed.begin(), listed.end(), path) != listed.end())
        return false;
    auto* item = new QListWidgetItem(QString::fromStdString(path), m_list);
    item->setData(Qt::UserRole, QString::fromStdString(path));
    item->setToolTip(item->text());
    UpdateButtons();
    return true;
}

void CScanLocationsList::RemoveSelected()
{
    if (m_list->currentRow() > 0)
        delete m_list->takeItem(m_list->currentRow());
    UpdateButtons();
}

void CScanLocationsList::AddFromDialog(bool folder)
{
    const QString path =
        folder ? QFileDialog::getExistingDirectory(this, QStringLiteral("Add a Folder to Scan"))
               : QFileDialog::getOpenFileName(this, QStringLiteral("Add an Archive to Scan"), QString(),
                                              QStringLiteral("Java archives (*.jar *.war *.ear *.zip);;All files (*)"));
    if (path.isEmpty())
        return;
    if (!AddLocation(path.toStdString()) && path.toUtf8().size() > static_cast<int>(kMaxRegistryValueLength))
        QMessageBox::warning(this, QStringLiteral("Corvane Component Manager"),
                             QStringLiteral("This path is too long to be kept as a scan location:\n") + path);
}

void CScanLocationsList::UpdateButtons()
{
    m_remove->setEnabled(m_list->currentRow() > 0);
}
