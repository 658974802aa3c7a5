#include "engine/render/RenderTypes.h"

#include <algorithm>
#include <cmath>

namespace zd::engine {

namespace {
// Scales beyond this (device pixels per twip) are not drawn: nothing sane needs them.
constexpr double kMaxScale = 1e5;
}  // namespace

QTransform toQt(const Matrix& m) {
    return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty);
}

bool sane(const QTransform& t) {
    const double v[] = {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()};
    for (const double x : v) {
        if (!std::isfinite(x)) {
            return false;
        }
    }
    return std::abs(t.m11()) + std::abs(t.m12()) + std::abs(t.m21()) + std::abs(t.m22()) <
           kMaxScale;
}

QPainterPath flattenForDevice(const QPainterPath& path, const QTransform& t, double tolerance) {
    constexpr int kMaxChords = 64;
    QPainterPath out;
    out.setFillRule(path.fillRule());
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            out.moveTo(e.x, e.y);
            last = QPointF(e.x, e.y);
        } else if (e.isLineTo()) {
            out.lineTo(e.x, e.y);
            last = QPointF(e.x, e.y);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            // The outlines hold quadratic curves, stored as cubics: recover the control point.
            const QPointF c1(e.x, e.y);
            const QPointF end(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            i += 2;
            const QPointF control = (3 * c1 - last) / 2;
            const QPointF bend = t.map(last) - 2 * t.map(control) + t.map(end);
            const double deviation = std::hypot(bend.x(), bend.y()) / 4.0;
            const int chords =
                std::clamp(static_cast<int>(std::ceil(deviation / tolerance)), 1, kMaxChords);
            for (int k = 1; k <= chords; ++k) {
                const double f = static_cast<double>(k) / chords;
                const double g = 1 - f;
                out.lineTo(g * g * last + 2 * g * f * control + f * f * end);
            }
            last = end;
        }
    }
    return out;
}

double transformScale(const QTransform& t) {
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    return (sx + sy) / 2.0;
}

QColor qcolor(Rgba c) {
    return QColor(c.r, c.g, c.b, c.a);
}

}  // namespace zd::engine
