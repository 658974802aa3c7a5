#include "resources/Resources.h"

#include <QPixmapCache>

namespace zd::res {

namespace {

// Image buttons reload their face on every mouse move; the cache keeps that cheap.
QPixmap cachedPixmap(const QString& path) {
    QPixmap pixmap;
    if (QPixmapCache::find(path, &pixmap)) {
        return pixmap;
    }
    if (pixmap.load(path)) {
        QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

}  // namespace

QString bitmapPath(int id) {
    return QStringLiteral(":/bitmaps/%1.bmp").arg(id);
}

QPixmap bitmap(int id) {
    return cachedPixmap(bitmapPath(id));
}

QPoint handCursorHotSpot() {
    return QPoint(11, 0);
}

QCursor handCursor() {
    const QPixmap pixmap = cachedPixmap(QStringLiteral(":/cursors/101.png"));
    if (pixmap.isNull()) {
        return QCursor(Qt::PointingHandCursor);
    }
    const QPoint hot = handCursorHotSpot();
    return QCursor(pixmap, hot.x(), hot.y());
}

QPixmap programIconPixmap() {
    return cachedPixmap(QStringLiteral(":/icons/zephyrdeck.png"));
}

QIcon programIcon() {
    return QIcon(programIconPixmap());
}

QPixmap picture(const QString& name) {
    return cachedPixmap(QStringLiteral(":/pictures/%1.png").arg(name));
}

QPixmap xpButtonSkin() {
    return cachedPixmap(QStringLiteral(":/skins/xpbutton.bmp"));
}

QPixmap xpCheckBoxSkin() {
    return cachedPixmap(QStringLiteral(":/skins/xpcheckbox.bmp"));
}

}  // namespace zd::res
