#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "DllVersion.h"
#include "SpindleCtrl.h"
#include "UserPrompt.h"
#include "VersionInfo.h"

namespace
{
const char* const kLegalNotice = "Copyright \u00a9 Corvane Software.";
const char* const kRightsReserved = "All rights reserved.";
const char* const kOwnershipWarning =
    "Corvane Component Manager is the property of Corvane Software and is protected by copyright law. "
    "Copying or passing on this program or any part of it without the maker's written permission is not allowed.";

QPixmap Picture(qreal devicePixelRatio)
{
    QSvgRenderer renderer(QStringLiteral(":/host/about.svg"));
    QSize size = renderer.defaultSize();
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return pixmap;
}

QLabel* PlainLabel(QWidget* parent, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_productLabel(PlainLabel(this))
    , m_hostLabel(PlainLabel(this))
    , m_controlLabel(PlainLabel(this))
{
    auto* picture = new QLabel(this);
    picture->setPixmap(Picture(devicePixelRatioF()));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_productLabel->setAlignment(Qt::AlignCenter);

    auto* lines = new QVBoxLayout;
    lines->addWidget(m_productLabel);
    lines->addWidget(m_hostLabel);
    lines->addWidget(m_controlLabel);
    lines->addStretch();

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* warning = PlainLabel(this, QString::fromUtf8(kOwnershipWarning));
    warning->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(picture, 0, 0);
    layout->addLayout(lines, 0, 1);
    layout->addWidget(separator, 1, 0, 1, 2);
    layout->addWidget(PlainLabel(this, QString::fromUtf8(kLegalNotice)), 2, 0, 1, 2);
    layout->addWidget(PlainLabel(this, QString::fromUtf8(kRightsReserved)), 3, 0, 1, 2);
    layout->addWidget(warning, 4, 0, 1, 2);
    layout->addWidget(buttons, 5, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    setMinimumWidth(223 * fontMetrics().averageCharWidth() / 4);
}

void CAboutDlg::OnInitDialog()
{
    m_productName = kAppTitle;
    setWindowTitle(QString::fromUtf8("About ") + QString::fromStdString(m_productName));

    // Any code of this program names its file.
    CVersionInfo info;
    if (info.ReadFromModule(reinterpret_cast<const void*>(&Picture)))
        m_hostVersionLine = std::string(kHostFileName) + " " + info.GetFileVersion().GetText();
    else
        m_hostVersionLine = kHostFileName;

    m_controlVersionLine = std::string(kControlFileName) + " ";
    CDllVersion version;
    if (version.ReadFromLibrary(CSpindleCtrl::RegisteredLibraryPath()))
        m_controlVersionLine += version.GetText();

    m_productLabel->setText(QString::fromStdString(m_productName));
    m_hostLabel->setText(QString::fromStdString(m_hostVersionLine));
    m_controlLabel->setText(QString::fromStdString(m_controlVersionLine));
}

int CAboutDlg::DoModal()
{
    OnInitDialog();
    return exec();
}
