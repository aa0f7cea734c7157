#include "PageToolbar.h"

#include <algorithm>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "BusyAnimation.h"
#include "DialogUnits.h"
#include "FlatButton.h"
#include "PageArtwork.h"
#include "ResizeAnchors.h"
#include "SeparatorLine.h"

namespace
{
struct CButtonSpec
{
    int id;
    const char* text;
    int icon;
    int x;
};

// The toolbar's buttons in control-id order, with their template column.
constexpr std::array<CButtonSpec, 10> kButtonSpecs{{
    {CPageToolbar::kSearchId, "Search", CPageArtwork::kIconSearch, 242},
    {CPageToolbar::kChatId, "Chat", CPageArtwork::kIconChat, 269},
    {CPageToolbar::kFeatureId, "Feature", CPageArtwork::kIconFeature, 286},
    {CPageToolbar::kBugId, "Bug", CPageArtwork::kIconBug, 302},
    {CPageToolbar::kOptionsId, "Options", CPageArtwork::kIconOptions, 317},
    {CPageToolbar::kBackId, "Back", CPageArtwork::kIconBack, 347},
    {CPageToolbar::kForwardId, "Forward", CPageArtwork::kIconForward, 363},
    {CPageToolbar::kStopId, "Stop", CPageArtwork::kIconStop, 379},
    {CPageToolbar::kRefreshId, "Refresh", CPageArtwork::kIconRefresh, 395},
    {CPageToolbar::kPrintId, "Print", CPageArtwork::kIconPrint, 411},
}};

bool IsEnterKey(const QEvent* event)
{
    const auto* key = static_cast<const QKeyEvent*>(event);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat();
}

void MoveRightEdgeTo(QWidget* widget, int right)
{
    widget->move(right - widget->width(), widget->y());
}
}  // namespace

CPageToolbar::CPageToolbar(QWidget& page, const CDialogUnits& units)
    : m_page(page)
    , m_units(units)
{
    m_combo = new QComboBox(&page);
    m_combo->setObjectName(QStringLiteral("searchKinds"));
    m_combo->setGeometry(units.Map(2, 2, 69, 13));

    m_edit = new QLineEdit(&page);
    m_edit->setObjectName(QStringLiteral("searchText"));
    m_edit->setGeometry(units.Map(73, 2, 165, 13));

    for (size_t i = 0; i < kButtonSpecs.size(); ++i) {
        auto* button = new CFlatButton(true, false, true, CFlatButton::kIconCentred, &page);
        button->setText(QString::fromLatin1(kButtonSpecs[i].text));
        button->setToolTip(button->text());
        button->setAccessibleName(button->text());
        button->setGeometry(units.Map(kButtonSpecs[i].x, 2, 14, 14));
        m_buttons[i] = button;
    }
    GetButton(kChatId)->hide();
    GetButton(kFeatureId)->hide();

    m_separator = new CSeparatorLine(&page);
    m_separator->setGeometry(units.Map(335, 2, 8, 12));

    m_animation = new CBusyAnimation(&page);
    m_animation->setGeometry(units.Map(426, 2, 17, 15));
}

CFlatButton* CPageToolbar::GetButton(int id) const
{
    if (id < kSearchId || id > kPrintId)
        return nullptr;
    return m_buttons[static_cast<size_t>(id - kSearchId)];
}

void CPageToolbar::LoadButtonImages()
{
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        QIcon icon = CPageArtwork::LoadIcon(kButtonSpecs[i].icon);
        if (icon.isNull())
            break;
        m_buttons[i]->setIcon(icon);
    }
    for (int id : {kBackId, kForwardId, kStopId, kRefreshId})
        GetButton(id)->setEnabled(false);
}

void CPageToolbar::WatchEnter(std::function<void()> onEnter)
{
    m_onEnter = std::move(onEnter);
    m_edit->installEventFilter(this);
}

bool CPageToolbar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit) {
        // A search starts when Enter is let go in the box; an Enter pressed elsewhere (on
        // the message box that a search showed) and let go here starts none.
        if (event->type() == QEvent::KeyPress && IsEnterKey(event)) {
            m_enterDown = true;
        } else if (event->type() == QEvent::KeyRelease && IsEnterKey(event)) {
            if (m_enterDown && m_onEnter)
                m_onEnter();
            m_enterDown = false;
        } else if (event->type() == QEvent::FocusOut) {
            m_enterDown = false;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CPageToolbar::RegisterAnchors(CResizeAnchors& anchors, bool withCombo) const
{
    if (withCombo)
        anchors.Add(m_combo, 0);
    anchors.Add(m_edit, 0);
    anchors.Add(GetButton(kSearchId), 0);
    for (int id = kChatId; id <= kOptionsId; ++id)
        anchors.Add(GetButton(id), CResizeAnchors::kFollowRight);
    anchors.Add(m_separator, CResizeAnchors::kFollowRight);
    for (int id = kBackId; id <= kPrintId; ++id)
        anchors.Add(GetButton(id), CResizeAnchors::kFollowRight);
    anchors.Add(m_animation, CResizeAnchors::kFollowRight);
}

void CPageToolbar::Layout(bool hideCombo)
{
    MoveRightEdgeTo(m_animation, m_page.width() - 2);
    int right = m_animation->x() - 2;
    for (int id : {kPrintId, kRefreshId, kStopId, kForwardId, kBackId}) {
        MoveRightEdgeTo(GetButton(id), right);
        right = GetButton(id)->x() - 2;
    }
    m_separator->setGeometry(GetButton(kBackId)->x() - 4, m_separator->y(), 2, m_separator->height());
    right = m_separator->x() - 2;
    for (int id : {kOptionsId, kBugId, kFeatureId, kChatId}) {
        MoveRightEdgeTo(GetButton(id), right);
        right = GetButton(id)->x() - 2;
    }
    if (hideCombo) {
        m_combo->hide();
        const QRect edit = m_edit->geometry();
        m_edit->setGeometry(2, edit.y(), edit.x() + edit.width() - 2, edit.height());
    }
}

void CPageToolbar::KeepSearchPlaces()
{
    m_editPlace = m_edit->geometry();
    m_searchPlace = GetButton(kSearchId)->geometry();
    m_placesKept = true;
}

// The buttons on the right follow the page's right edge; in a page narrower than its
// template they would slide over the search box and the Search button.
void CPageToolbar::FitSearchBox()
{
    if (!m_placesKept)
        return;
    int limit = m_page.width();
    for (int id = kChatId; id <= kOptionsId; ++id) {
        if (GetButton(id)->isVisibleTo(&m_page))
            limit = std::min(limit, GetButton(id)->x());
    }
    QRect edit = m_editPlace;
    QRect search = m_searchPlace;
    const int overflow = search.x() + search.width() + 4 - limit;
    if (overflow > 0) {
        const int shrink = std::min(overflow, std::max(0, edit.width() - m_units.Map(0, 0, 40, 0).width()));
        edit.setWidth(edit.width() - shrink);
        search.translate(-shrink, 0);
    }
    m_edit->setGeometry(edit);
    GetButton(kSearchId)->setGeometry(search);
}

std::string CPageToolbar::ReadSearchText() const
{
    QString text = m_edit->text();
    if (text.size() > kMaxSearchText) {
        text.truncate(kMaxSearchText);
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text.toStdString();
}

void CPageToolbar::ShowLoading(bool loading)
{
    GetButton(kStopId)->setEnabled(loading);
    GetButton(kRefreshId)->setEnabled(!loading);
    if (loading)
        m_animation->Play();
    else
        m_animation->Stop();
}

void CPageToolbar::ShowHistory(bool canGoBack, bool canGoForward)
{
    GetButton(kBackId)->setEnabled(canGoBack);
    GetButton(kForwardId)->setEnabled(canGoForward);
}
