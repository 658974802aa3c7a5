#include "controls/Canvas.h"

#include <QPainter>

namespace zd {

QImage& fitCanvas(QImage& canvas, QSize size, const QColor& fill) {
    size = size.expandedTo(QSize(1, 1));
    if (canvas.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(fill);
        if (!canvas.isNull()) {
            QPainter p(&resized);
            p.drawImage(0, 0, canvas);
        }
        canvas = resized;
    }
    return canvas;
}

}  // namespace zd
