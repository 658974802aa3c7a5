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

double transformScale(const QTransform& t) {
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    return (sx + sy) / 2.0;
}

QColor qcolor(Rgba c) {
    return QColor(c.r, c.g, c.b, c.a);
}

}  // namespace zd::engine
