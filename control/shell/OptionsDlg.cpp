#include "OptionsDlg.h"

#include <climits>
#include <cstdlib>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QValidator>

#include "DisplayPreferences.h"
#include "FileUtil.h"
#include "ItemList.h"
#include "JavaItemDataManager.h"
#include "LocalItemDataManager.h"
#include "ModalDialog.h"
#include "PageArtwork.h"
#include "ScanLocationsList.h"
#include "ScanProgressDlg.h"
#include "Settings.h"
#include "XmlAccess.h"

namespace
{
constexpr int kTemplateWidth = 411;
constexpr int kTemplateHeight = 249;

// The firewall combo's entries; an entry's index is the stored FirewallType.
constexpr const char* kFirewallTypes[kFirewallTypeCount] = {"None", "Socks 4", "Socks 5", "Proxy", "Pipe"};

// A setting is read back only up to its byte limit: a box takes no more UTF-8 bytes than that.
class CUtf8LengthValidator : public QValidator
{
public:
    CUtf8LengthValidator(int maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}
    State validate(QString& input, int&) const override
    {
        return input.toUtf8().size() > m_maxBytes ? Invalid : Acceptable;
    }

private:
    int m_maxBytes;
};
}  // namespace

COptionsDlg::COptionsDlg(IModalRunner& runner, QWidget* parent)
    : QDialog(parent)
    , m_runner(runner)
    , m_units(fontMetrics())
{
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    CreateChildren();
    setFixedSize(m_units.Map(0, 0, kTemplateWidth, kTemplateHeight).size());
    InitDialog();
}

COptionsDlg::~COptionsDlg() = default;

// The children of the dialog template, in tab order.
void COptionsDlg::CreateChildren()
{
    // Each label beside its box, level with it, in all the room left of the boxes.
    auto addLabel = [this](const char* text, int y) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setGeometry(m_units.Map(2, y, 66, 14));
        return label;
    };
    auto addEdit = [this, &addLabel](const char* label, const char* name, int y) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setValidator(new CUtf8LengthValidator(kMaxText, edit));
        edit->setGeometry(m_units.Map(69, y, 162, 14));
        addLabel(label, y)->setBuddy(edit);
        return edit;
    };

    m_email = addEdit("E-mail", "email", 2);
    m_firewall = new QComboBox(this);
    m_firewall->setObjectName(QStringLiteral("firewall"));
    m_firewall->setGeometry(m_units.Map(69, 21, 162, 14));
    addLabel("Firewall", 21)->setBuddy(m_firewall);
    m_host = addEdit("Host", "host", 38);
    m_port = addEdit("Port", "port", 57);
    m_userName = addEdit("Logon Name", "logonName", 76);
    m_password = addEdit("Password", "password", 95);
    m_password->setEchoMode(QLineEdit::Password);
    m_confirm = addEdit("Confirm password", "confirmPassword", 114);
    m_confirm->setEchoMode(QLineEdit::Password);

    auto* treeLabel = new QLabel(QStringLiteral("Java Technologies to Show:"), this);
    treeLabel->setGeometry(m_units.Map(244, 2, 160, 8));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("technologies"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(false);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setGeometry(m_units.Map(244, 12, 160, 136));
    treeLabel->setBuddy(m_tree);

    m_scan = new QPushButton(QStringLiteral("Scan CLASSPATH"), this);
    m_scan->setGeometry(m_units.Map(69, 138, 71, 14));
    m_scan->setAutoDefault(false);
    auto* locationsLabel = new QLabel(QStringLiteral("Scan locations, searched after the CLASSPATH:"), this);
    locationsLabel->setGeometry(m_units.Map(2, 158, 300, 8));
    m_locations = new CScanLocationsList(m_units, this);
    m_locations->setGeometry(m_units.Map(2, 168, 402, 56));
    locationsLabel->setBuddy(m_locations->GetList());

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setGeometry(m_units.Map(152, 230, 50, 14));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(m_units.Map(209, 230, 50, 14));
    m_cancel->setAutoDefault(false);

    connect(m_scan, &QPushButton::clicked, this, [this] { OnScanClassPath(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { accept(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
}

void COptionsDlg::InitDialog()
{
    m_technologiesListed = LoadTechnologies();

    m_email->setText(QString::fromStdString(GetEmail()));
    m_locations->SetLocations(GetScanLocations());

    const CFirewallType type = GetFirewallType();
    const std::string host = GetFirewallHost();
    const int port = GetFirewallPort();
    const std::string userName = GetFirewallUsername();
    const std::string password = GetFirewallPassword();
    for (const char* text : kFirewallTypes)
        m_firewall->addItem(QString::fromLatin1(text));
    // A stored type that names no entry leaves the combo without a selection.
    m_firewall->setCurrentIndex(IsFirewallType(type) ? static_cast<int>(type) : -1);
    UpdateFirewallBoxes();
    connect(m_firewall, &QComboBox::currentIndexChanged, this, [this] { UpdateFirewallBoxes(); });
    m_host->setText(QString::fromStdString(host));
    m_port->setText(QString::number(port));
    m_userName->setText(QString::fromStdString(userName));
    m_password->setText(QString::fromStdString(password));
    m_confirm->setText(QString::fromStdString(password));
}

bool COptionsDlg::LoadTechnologies()
{
    const QIcon icon = CPageArtwork::TreeIcon(CPageArtwork::kStripJava, ITEM_GROUP);
    if (icon.isNull())
        return false;
    std::unique_ptr<CXmlDocument> index;
    if (!OpenXmlDocument(index, GetDataDirectory() + "Java/index.xml", "COptionsDlg::LoadTechnologies()"))
        return false;

    CItemList technologies;
    CJavaItemDataManager::ListIndexTechnologies(*index, technologies, "COptionsDlg");
    std::map<std::string, bool> shown;
    CDisplayPreferences::Read(shown, "COptionsDlg::ListDisplayTechnologies", "COptionsDlg");
    for (std::unique_ptr<CTreeItem>& record : technologies.TakeAll()) {
        std::unique_ptr<CJavaItem> technology(static_cast<CJavaItem*>(record.release()));
        auto* treeItem = new QTreeWidgetItem;
        treeItem->setText(0, QString::fromStdString(technology->GetName()));
        treeItem->setIcon(0, icon);
        treeItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool checked = CDisplayPreferences::IsShown(shown, technology->GetTechnology());
        treeItem->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        m_tree->addTopLevelItem(treeItem);
        m_technologies.push_back({std::move(technology), treeItem});
    }
    return true;
}

const CJavaItem* COptionsDlg::TechnologyOf(const QTreeWidgetItem* treeItem) const
{
    for (const CTechnology& technology : m_technologies) {
        if (technology.treeItem == treeItem)
            return technology.item.get();
    }
    return nullptr;
}

void COptionsDlg::UpdateFirewallBoxes()
{
    const bool enabled = static_cast<CFirewallType>(m_firewall->currentIndex()) != CFirewallType::None;
    for (QLineEdit* box : {m_host, m_port, m_userName, m_password, m_confirm})
        box->setEnabled(enabled);
}

void COptionsDlg::OnScanClassPath()
{
    const char* classPath = std::getenv("CLASSPATH");
    CScanProgressDlg dialog(classPath ? classPath : "", false);
    dialog.SetLocations(m_locations->GetLocations());
    const int result = m_runner.RunModal(dialog);
    dialog.EndScan();
    // The scan dialog ends with IDOK also when cancelled; a cancelled scan stages nothing.
    m_scanDone = result == IDOK;
}

void COptionsDlg::accept()
{
    if (m_technologiesListed)
        SavePreferences();
    if (m_scanDone)
        CommitStagedFile(CLocalItemDataManager::IndexFile());
    SetEmail(ReadText(m_email));
    SetScanLocations(m_locations->GetLocations());
    SaveFirewall();
    QDialog::accept();
}

bool COptionsDlg::SavePreferences()
{
    std::vector<std::pair<std::string, bool>> technologies;
    for (const CTechnology& technology : m_technologies)
        technologies.emplace_back(technology.item->GetTechnology(), technology.treeItem->checkState(0) == Qt::Checked);
    return CDisplayPreferences::Write(technologies);
}

void COptionsDlg::SaveFirewall()
{
    // No selection stores -1, which names no kind.
    const auto type = static_cast<CFirewallType>(m_firewall->currentIndex());
    const std::string host = ReadText(m_host);
    const std::string userName = ReadText(m_userName);
    const std::string password = ReadText(m_password);
    const int port = ParsePort(ReadText(m_port));
    SetFirewallType(type);
    SetFirewallHost(host);
    SetFirewallPort(port);
    SetFirewallUsername(userName);
    SetFirewallPassword(password);
}

std::string COptionsDlg::ReadText(const QLineEdit* edit)
{
    std::string text = edit->text().toStdString();
    if (text.size() > kMaxText) {
        // A setting holds bytes: cut there, but never inside a character.
        size_t end = kMaxText;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text.resize(end);
    }
    return text;
}

int COptionsDlg::ParsePort(const std::string& text)
{
    const long value = std::strtol(text.c_str(), nullptr, 10);
    // Out of range is clamped, where atoi would be undefined.
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
