#include "PageArtwork.h"

#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "TreeItem.h"

static void InitShellResources()
{
    // The resources live in a static library: name them here so the linker keeps them.
    static const bool done = [] {
        Q_INIT_RESOURCE(shell);
        return true;
    }();
    (void)done;
}

namespace
{
QString IconFile(int resource)
{
    switch (resource) {
    case CPageArtwork::kIconBack: return QStringLiteral("back");
    case CPageArtwork::kIconForward: return QStringLiteral("forward");
    case CPageArtwork::kIconRefresh: return QStringLiteral("refresh");
    case CPageArtwork::kIconStop: return QStringLiteral("stop");
    case CPageArtwork::kIconSearch: return QStringLiteral("search");
    case CPageArtwork::kIconBug: return QStringLiteral("bug");
    case CPageArtwork::kIconFeature: return QStringLiteral("feature");
    case CPageArtwork::kIconChat: return QStringLiteral("chat");
    case CPageArtwork::kIconPrint: return QStringLiteral("print");
    case CPageArtwork::kIconOptions: return QStringLiteral("options");
    default: return QString();
    }
}

QString StripFolder(int strip)
{
    switch (strip) {
    case CPageArtwork::kStripDefault: return QStringLiteral("default");
    case CPageArtwork::kStripJava: return QStringLiteral("java");
    case CPageArtwork::kStripLocal: return QStringLiteral("local");
    case CPageArtwork::kStripMarket: return QStringLiteral("market");
    default: return QString();
    }
}

// Renders the SVG at 16 and 32 pixels, so the icon stays sharp on dense screens.
bool AddRendered(QIcon& icon, const QString& path, QIcon::Mode mode)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return false;
    for (int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap, mode);
    }
    return true;
}
}  // namespace

QIcon CPageArtwork::LoadIcon(int resource)
{
    InitShellResources();
    QIcon icon;
    const QString name = IconFile(resource);
    if (!name.isEmpty())
        AddRendered(icon, QStringLiteral(":/corvane/icons/%1.svg").arg(name), QIcon::Normal);
    return icon;
}

QIcon CPageArtwork::TreeIcon(int strip, int kind)
{
    InitShellResources();
    const QString folder = StripFolder(strip);
    if (folder.isEmpty())
        return QIcon();
    QString path;
    switch (kind) {
    case ITEM_HOME: path = QStringLiteral(":/corvane/tree/common/home"); break;
    case ITEM_SEARCH: path = QStringLiteral(":/corvane/tree/common/search"); break;
    case ITEM_GROUP: path = QStringLiteral(":/corvane/tree/%1/group").arg(folder); break;
    case ITEM_SUBGROUP: path = QStringLiteral(":/corvane/tree/%1/subgroup").arg(folder); break;
    case ITEM_LEAF: path = QStringLiteral(":/corvane/tree/%1/leaf").arg(folder); break;
    default: return QIcon();
    }
    QIcon icon;
    if (!AddRendered(icon, path + QStringLiteral(".svg"), QIcon::Normal))
        return QIcon();
    const QString selected = path + QStringLiteral("-selected.svg");
    if (QFile::exists(selected))
        AddRendered(icon, selected, QIcon::Selected);
    return icon;
}
