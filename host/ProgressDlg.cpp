#include "ProgressDlg.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "MessageTarget.h"

CProgressDlg::CProgressDlg(CModalDialogCore& core, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_core(core)
    , m_text(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setModal(true);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setMinimumWidth(172 * fontMetrics().averageCharWidth() / 4);
    m_bar->setTextVisible(false);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_core.SetViewChanged([this] { UpdateView(); });
    UpdateView();
}

CProgressDlg::~CProgressDlg()
{
    m_core.SetViewChanged(nullptr);
}

int CProgressDlg::RunModal()
{
    {
        // Posted from the transfer's thread and queued to this window; the target is gone
        // before the window is, and Qt drops what is still queued for a destroyed window.
        CMessageTarget target([this](unsigned message, WPARAM wParam, LPARAM lParam) {
            QMetaObject::invokeMethod(
                this, [this, message, wParam, lParam] { Deliver(message, wParam, lParam); }, Qt::QueuedConnection);
        });
        m_core.OnInitDialog(target.GetHandle());
        // A core that ended while opening (its work could not start) shows no window.
        if (!m_core.HasEnded())
            exec();
    }
    // Only a quitting application ends the window without the core: stop it as Cancel would.
    if (!m_core.HasEnded())
        m_core.OnCancel();
    if (!m_core.HasEnded())
        m_core.EndDialog(IDCANCEL);
    return m_core.GetResult();
}

void CProgressDlg::Deliver(unsigned message, WPARAM wParam, LPARAM lParam)
{
    if (m_core.HasEnded())
        return;
    m_core.OnMessage(message, wParam, lParam);
    EndIfCoreEnded();
}

void CProgressDlg::UpdateView()
{
    const CModalDialogCore::CProgressView& view = m_core.GetView();
    setWindowTitle(QString::fromStdString(view.caption));
    m_text->setText(QString::fromStdString(view.text));
    int high = std::max(view.rangeLow, view.rangeHigh);
    m_bar->setRange(view.rangeLow, high);
    m_bar->setValue(std::clamp(view.position, view.rangeLow, high));
    m_cancel->setEnabled(view.cancelEnabled);
}

void CProgressDlg::reject()
{
    if (!m_core.GetView().cancelEnabled || m_core.HasEnded())
        return;
    m_core.OnCancel();
    EndIfCoreEnded();
}

void CProgressDlg::EndIfCoreEnded()
{
    if (m_core.HasEnded())
        done(m_core.GetResult());
}
