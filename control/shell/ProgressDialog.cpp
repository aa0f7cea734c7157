#include "ProgressDialog.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "EscapeFilter.h"

namespace
{
// The text line's width: about 172 dialog units of the dialog's font.
int TextWidth(const QFontMetrics& metrics)
{
    return metrics.averageCharWidth() * 172 / 4;
}
}  // namespace

CProgressDialog::CProgressDialog(CModalDialogCore& core, const COptions& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          (options.topmostCentred ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()))
    , m_core(core)
    , m_options(options)
    , m_text(new QLabel(this))
    , m_bar(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setModal(true);
    CEscapeFilter::InstallOn(this);

    m_text->setMinimumWidth(TextWidth(fontMetrics()));
    m_text->setTextFormat(Qt::PlainText);
    m_bar->setTextVisible(false);
    m_bar->setVisible(options.showProgressBar);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    UpdateView();
}

void CProgressDialog::UpdateView()
{
    const CModalDialogCore::CProgressView& view = m_core.GetView();
    setWindowTitle(QString::fromStdString(view.caption));
    // A long search text must not stretch the dialog across the screen.
    QString text = QString::fromStdString(view.text);
    QString shown = m_text->fontMetrics().elidedText(text, Qt::ElideMiddle, m_text->minimumWidth());
    m_text->setText(shown);
    m_text->setToolTip(shown != text ? text : QString());
    m_bar->setRange(view.rangeLow, std::max(view.rangeLow, view.rangeHigh));
    m_bar->setValue(std::clamp(view.position, view.rangeLow, std::max(view.rangeLow, view.rangeHigh)));
    m_cancel->setEnabled(view.cancelEnabled);
}

bool CProgressDialog::EndIfCoreEnded()
{
    if (!m_core.HasEnded())
        return false;
    done(m_core.GetResult());
    return true;
}

// The window's close button.
void CProgressDialog::reject()
{
    Cancel();
}

void CProgressDialog::Cancel()
{
    if (!m_core.GetView().cancelEnabled || m_core.HasEnded())
        return;
    m_core.OnCancel();
    EndIfCoreEnded();
}

void CProgressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_options.topmostCentred)
        return;
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
