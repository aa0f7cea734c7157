#pragma once

#include <QIcon>

// The pages' artwork: the toolbar icons by their resource numbers and the tree images of
// each image strip, drawn from the SVG files in the resources.
class CPageArtwork
{
public:
    // Icon resources of the toolbar buttons.
    enum : int
    {
        kIconBack = 601,
        kIconForward = 602,
        kIconRefresh = 603,
        kIconStop = 604,
        kIconSearch = 605,
        kIconBug = 607,
        kIconFeature = 608,
        kIconChat = 609,
        kIconPrint = 610,
        kIconOptions = 611,
    };
    // Image strips of the trees.
    enum : int
    {
        kStripDefault = 102,
        kStripJava = 103,
        kStripLocal = 104,
        kStripMarket = 105,
    };

    // A null icon for an unknown number.
    static QIcon LoadIcon(int resource);
    // The tree image of an item kind: its normal image, and its selected image where the
    // strip has one. A null icon for a kind without an image or an unknown strip.
    static QIcon TreeIcon(int strip, int kind);
};
