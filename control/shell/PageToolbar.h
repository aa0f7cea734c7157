#pragma once

#include <array>
#include <functional>
#include <string>

#include <QObject>
#include <QRect>

class CBusyAnimation;
class CDialogUnits;
class CFlatButton;
class CResizeAnchors;
class CSeparatorLine;
class QComboBox;
class QLineEdit;
class QWidget;

// The toolbar of a tab page: search kinds, search box, the flat buttons, the separator and
// the busy animation. Its controls are children of the page itself, placed by the page's
// template and its anchors; the toolbar lays them out and shows the browser's state.
class CPageToolbar : public QObject
{
public:
    // Control ids of a tab page's children.
    enum ControlId : int
    {
        kTreeId = 301,
        kSplitterId = 302,
        kBrowserId = 303,
        kComboId = 304,
        kEditId = 305,
        kSearchId = 306,
        kChatId = 307,
        kFeatureId = 308,
        kBugId = 309,
        kOptionsId = 310,
        kBackId = 311,
        kForwardId = 312,
        kStopId = 313,
        kRefreshId = 314,
        kPrintId = 315,
        kSeparatorId = 316,
        kAnimationId = 317,
    };

    // Longest search text read from the box.
    static constexpr int kMaxSearchText = 255;

    // Creates the controls on page at their template places, in tab order.
    CPageToolbar(QWidget& page, const CDialogUnits& units);

    // The buttons' icons; a failed load stops the rest. Back, Forward, Stop and Refresh
    // start disabled.
    void LoadButtonImages();
    // Calls onEnter when Enter is let go in the search box after being pressed there.
    void WatchEnter(std::function<void()> onEnter);
    // withCombo: the search kinds follow the page too.
    void RegisterAnchors(CResizeAnchors& anchors, bool withCombo) const;
    // Right to left from the page's right edge; hideCombo gives the combo's place to the box.
    void Layout(bool hideCombo);
    // Takes the search box's and Search button's places from the first layout as theirs.
    void KeepSearchPlaces();
    // Narrows the search box when the buttons on the right would cover it.
    void FitSearchBox();

    // The search box's text, at most kMaxSearchText characters.
    std::string ReadSearchText() const;
    // A navigation runs: Stop and the animation on, Refresh off; or the other way round.
    void ShowLoading(bool loading);
    void ShowHistory(bool canGoBack, bool canGoForward);

    QComboBox* GetSearchKinds() const { return m_combo; }
    QLineEdit* GetSearchEdit() const { return m_edit; }
    CSeparatorLine* GetSeparator() const { return m_separator; }
    CBusyAnimation* GetAnimation() const { return m_animation; }
    // The button with control id 306 to 315, else null.
    CFlatButton* GetButton(int id) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_page;
    const CDialogUnits& m_units;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_edit = nullptr;
    std::array<CFlatButton*, 10> m_buttons{};
    CSeparatorLine* m_separator = nullptr;
    CBusyAnimation* m_animation = nullptr;
    std::function<void()> m_onEnter;
    bool m_enterDown = false;
    bool m_placesKept = false;
    QRect m_editPlace;
    QRect m_searchPlace;
};
