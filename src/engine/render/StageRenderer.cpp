#include "engine/render/StageRenderer.h"

#include <algorithm>

namespace zd::engine {

QRectF showAllRect(const QSizeF& stage, const QRectF& target) {
    if (stage.width() <= 0 || stage.height() <= 0 || target.width() <= 0 || target.height() <= 0) {
        return {};
    }
    const double scale = std::min(target.width() / stage.width(), target.height() / stage.height());
    const QSizeF size(stage.width() * scale, stage.height() * scale);
    return QRectF(target.x() + (target.width() - size.width()) / 2,
                  target.y() + (target.height() - size.height()) / 2, size.width(), size.height());
}

QRectF placedStageRect(const QSizeF& stage, const QRectF& view, std::string_view scaleMode,
                       std::string_view align) {
    if (stage.width() <= 0 || stage.height() <= 0 || view.width() <= 0 || view.height() <= 0) {
        return {};
    }
    const double wide = view.width() / stage.width();
    const double tall = view.height() / stage.height();
    const double scale = scaleMode == "noScale"    ? 1.0
                         : scaleMode == "noBorder" ? std::max(wide, tall)
                                                   : std::min(wide, tall);
    const QSizeF size(stage.width() * scale, stage.height() * scale);
    const auto has = [align](char c) { return align.find(c) != std::string_view::npos; };
    const double x = has('L')   ? view.x()
                     : has('R') ? view.right() - size.width()
                                : view.x() + (view.width() - size.width()) / 2;
    const double y = has('T')   ? view.y()
                     : has('B') ? view.bottom() - size.height()
                                : view.y() + (view.height() - size.height()) / 2;
    return QRectF(QPointF(x, y), size);
}

QTransform stageTransform(const Rect& stageTwips, const QRectF& target) {
    const QSizeF size(static_cast<double>(stageTwips.width()),
                      static_cast<double>(stageTwips.height()));
    const QRectF placed = showAllRect(size, target);
    if (placed.isEmpty()) {
        return QTransform(0, 0, 0, 0, target.center().x(), target.center().y());
    }
    const double scale = placed.width() / size.width();
    return QTransform::fromTranslate(placed.x(), placed.y())
        .scale(scale, scale)
        .translate(-stageTwips.xMin, -stageTwips.yMin);
}

std::optional<QPointF> targetToStagePixels(const Rect& stageTwips, const QRectF& target,
                                           QPointF point) {
    bool invertible = false;
    const QTransform back = stageTransform(stageTwips, target).inverted(&invertible);
    if (!invertible) {
        return std::nullopt;
    }
    return back.map(point) / 20.0;
}

}  // namespace zd::engine
