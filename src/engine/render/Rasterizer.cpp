#include "engine/render/Rasterizer.h"

#include <algorithm>
#include <cmath>

namespace zd::engine {

namespace {

// A curve is cut into this many chords at most, however large it is.
constexpr int kMaxChords = 1024;
// The points one outline is flattened into at most; curves past it become single chords.
constexpr std::size_t kMaxOutlinePoints = 1u << 20;
// How far cubic chords (stroke outlines) may stray from their curves, in device pixels.
constexpr double kCubicTolerance = 0.1;
// Vertex grid steps per pixel.
constexpr double kSubpixelSteps = 256.0;
// Device coordinates are kept within this, far past any picture.
constexpr double kMaxCoordinate = 1e9;

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The first row or column whose pixel centres lie at or past v.
double firstCentreAt(double v) {
    return std::ceil(v - 0.5);
}

double snap(double v) {
    return std::round(std::clamp(v, -kMaxCoordinate, kMaxCoordinate) * kSubpixelSteps) /
           kSubpixelSteps;
}

// The integral that spaces a parabola's chords evenly, and its inverse, both approximated
// closely enough for choosing chord ends.
double parabolaIntegral(double x) {
    constexpr double d = 0.67;
    return x / (1 - d + std::sqrt(std::sqrt(d * d * d * d + 0.25 * x * x)));
}

double parabolaIntegralInverse(double x) {
    constexpr double b = 0.39;
    return x * (1 - b + std::sqrt(b * b + 0.25 * x * x));
}

QPointF quadAt(QPointF p0, QPointF p1, QPointF p2, double t) {
    const double u = 1 - t;
    return u * u * p0 + 2 * u * t * p1 + t * t * p2;
}

}  // namespace

void appendCurveChords(QPointF p0, QPointF p1, QPointF p2, double tolerance,
                       std::vector<QPointF>& out) {
    const QPointF d01 = p1 - p0;
    const QPointF d12 = p2 - p1;
    const QPointF dd = d01 - d12;
    const QPointF chord = p2 - p0;
    const double cross = chord.x() * dd.y() - chord.y() * dd.x();
    const double length = std::hypot(chord.x(), chord.y());
    // The curve strays from its chord by half its control point's distance from it.
    const double controlDistance =
        length > 0 ? std::abs(d01.x() * chord.y() - d01.y() * chord.x()) / length
                   : std::hypot(d01.x(), d01.y());
    if (cross == 0 || !(tolerance > 0) || controlDistance * 0.5 <= tolerance ||
        !std::isfinite(cross)) {
        out.push_back(p2);
        return;
    }
    // Map the curve onto a piece [x0, x2] of the parabola y = x^2 and space the chord ends
    // evenly along the integral, which bunches them where the curve bends most.
    const double x0 = (d01.x() * dd.x() + d01.y() * dd.y()) / cross;
    const double x2 = (d12.x() * dd.x() + d12.y() * dd.y()) / cross;
    const double scale = std::abs(cross / (std::hypot(dd.x(), dd.y()) * (x2 - x0)));
    const double a0 = parabolaIntegral(x0);
    const double a2 = parabolaIntegral(x2);
    const double sqrtTol = std::sqrt(tolerance);
    double spread = 0;
    if (std::isfinite(scale)) {
        const double da = std::abs(a2 - a0);
        const double sqrtScale = std::sqrt(scale);
        if ((x0 < 0) == (x2 < 0)) {
            spread = da * sqrtScale;
        } else {
            // The piece holds the vertex: the bend there sets the count.
            const double xmin = sqrtTol / sqrtScale;
            spread = sqrtTol * da / parabolaIntegral(xmin);
        }
    }
    const double pieces = std::ceil(0.5 * spread / sqrtTol);
    const int n =
        std::isfinite(pieces) ? static_cast<int>(std::clamp(pieces, 1.0, 1.0 * kMaxChords)) : 1;
    const double u0 = parabolaIntegralInverse(a0);
    const double u2 = parabolaIntegralInverse(a2);
    for (int i = 1; i < n; ++i) {
        const double a = a0 + (a2 - a0) * i / n;
        const double t = (parabolaIntegralInverse(a) - u0) / (u2 - u0);
        if (std::isfinite(t)) {
            out.push_back(quadAt(p0, p1, p2, std::clamp(t, 0.0, 1.0)));
        }
    }
    out.push_back(p2);
}

Polygons flattenPath(const QPainterPath& path, double tolerance) {
    Polygons out;
    const int count = path.elementCount();
    out.points.reserve(static_cast<std::size_t>(count));
    QPointF last;
    auto endRun = [&](bool closed) {
        const auto end = static_cast<std::uint32_t>(out.points.size());
        const std::uint32_t start = out.runs.empty() ? 0 : out.runs.back().end;
        if (end > start) {
            out.runs.push_back({end, closed});
        }
    };
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p(e.x, e.y);
        if (e.isMoveTo()) {
            if (!out.points.empty()) {
                // A subpath that ends back where it began is closed.
                const std::uint32_t start = out.runs.empty() ? 0 : out.runs.back().end;
                endRun(out.points.size() > start + 2 && out.points[start] == out.points.back());
            }
            out.points.push_back(p);
        } else if (e.isLineTo()) {
            out.points.push_back(p);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < count) {
            // quadTo stores its control point c as the cubic's first one: from + 2/3 (c - from).
            const QPointF end(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            i += 2;
            if (out.points.size() < kMaxOutlinePoints) {
                appendCurveChords(last, (3 * p - last) / 2, end, tolerance, out.points);
            } else {
                out.points.push_back(end);
            }
            last = end;
            continue;
        }
        last = p;
    }
    if (!out.points.empty()) {
        const std::uint32_t start = out.runs.empty() ? 0 : out.runs.back().end;
        endRun(out.points.size() > start + 2 && out.points[start] == out.points.back());
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

AliasedRasterizer::AliasedRasterizer(const QRect& clip) : clip_(clip) {}

void AliasedRasterizer::addLine(QPointF from, QPointF to) {
    if (!finite(from) || !finite(to)) {
        return;
    }
    from = QPointF(snap(from.x()), snap(from.y()));
    to = QPointF(snap(to.x()), snap(to.y()));
    if (from.y() == to.y()) {
        return;  // horizontal edges cross no row
    }
    int winding = 1;
    if (from.y() > to.y()) {
        std::swap(from, to);
        winding = -1;
    }
    // The rows whose centres fall in [top, bottom).
    const double firstRow = std::max<double>(firstCentreAt(from.y()), clip_.top());
    const double endRow = std::min<double>(firstCentreAt(to.y()), clip_.bottom() + 1.0);
    if (firstRow >= endRow) {
        return;
    }
    if (std::min(from.x(), to.x()) >= clip_.right() + 1.0) {
        return;  // right of every pixel drawn: it bounds none of them
    }
    edges_.push_back(
        {from.y(), to.y(), from.x(), (to.x() - from.x()) / (to.y() - from.y()), winding});
}

void AliasedRasterizer::addPolygons(const Polygons& polygons, const QTransform& t) {
    std::uint32_t start = 0;
    for (const Polygons::Run& run : polygons.runs) {
        if (run.end > start && run.end <= polygons.points.size()) {
            const QPointF first = t.map(polygons.points[start]);
            QPointF last = first;
            for (std::uint32_t i = start + 1; i < run.end; ++i) {
                const QPointF p = t.map(polygons.points[i]);
                addLine(last, p);
                last = p;
            }
            addLine(last, first);
        }
        start = run.end;
    }
}

void AliasedRasterizer::addCubic(QPointF from, QPointF c1, QPointF c2, QPointF to) {
    if (!finite(from) || !finite(c1) || !finite(c2) || !finite(to)) {
        return;
    }
    const double minY = std::min({from.y(), c1.y(), c2.y(), to.y()});
    const double maxY = std::max({from.y(), c1.y(), c2.y(), to.y()});
    if (maxY < clip_.top() || minY > clip_.bottom() + 1.0) {
        addLine(from, to);  // no row of it shows: only where it joins counts
        return;
    }
    forEachCubicChord(from, c1, c2, to, kCubicTolerance, kMaxChords,
                      [this](QPointF a, QPointF b) { addLine(a, b); });
}

void AliasedRasterizer::addPath(const QPainterPath& path) {
    forEachClosedSegment(
        path, [](QPointF p) { return p; }, [this](QPointF a, QPointF b) { addLine(a, b); },
        [this](QPointF from, QPointF c1, QPointF c2, QPointF to) { addCubic(from, c1, c2, to); });
}

std::vector<AliasedRasterizer::Span> AliasedRasterizer::spans(bool nonZero) const {
    std::vector<Span> out;
    if (edges_.empty() || clip_.isEmpty()) {
        return out;
    }
    // Edges in the order their first row comes.
    std::vector<std::uint32_t> order(edges_.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::sort(order.begin(), order.end(),
              [this](std::uint32_t a, std::uint32_t b) { return edges_[a].yTop < edges_[b].yTop; });

    const double left = clip_.left();
    const double right = clip_.right() + 1.0;
    std::vector<std::uint32_t> active;
    std::vector<std::pair<double, int>> crossings;
    std::size_t next = 0;
    int y =
        static_cast<int>(std::max<double>(firstCentreAt(edges_[order.front()].yTop), clip_.top()));
    auto inside = [nonZero](int winding) { return nonZero ? winding != 0 : (winding & 1) != 0; };
    while (y <= clip_.bottom()) {
        const double centre = y + 0.5;
        while (next < order.size() && edges_[order[next]].yTop <= centre) {
            active.push_back(order[next++]);
        }
        std::erase_if(active, [&](std::uint32_t i) { return edges_[i].yBottom <= centre; });
        if (active.empty()) {
            if (next >= order.size()) {
                break;
            }
            y = static_cast<int>(
                std::max<double>(firstCentreAt(edges_[order[next]].yTop), y + 1.0));
            continue;
        }
        crossings.clear();
        for (const std::uint32_t i : active) {
            const Edge& e = edges_[i];
            const double x = e.xTop + (centre - e.yTop) * e.slope;
            crossings.emplace_back(std::clamp(x, left - 1.0, right + 1.0), e.winding);
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        auto addSpan = [&](double from, double to) {
            // The pixels whose centres lie in [from, to).
            const double x0 = std::max(firstCentreAt(from), left);
            const double x1 = std::min(firstCentreAt(to), right);
            if (x0 >= x1) {
                return;
            }
            const int a = static_cast<int>(x0);
            const int b = static_cast<int>(x1);
            if (!out.empty() && out.back().y == y && out.back().x1 >= a) {
                out.back().x1 = std::max(out.back().x1, b);
            } else {
                out.push_back({y, a, b});
            }
        };
        int winding = 0;
        double spanStart = 0;
        for (const auto& [x, w] : crossings) {
            const bool was = inside(winding);
            winding += w;
            if (!was && inside(winding)) {
                spanStart = x;
            } else if (was && !inside(winding)) {
                addSpan(spanStart, x);
            }
        }
        if (inside(winding)) {
            addSpan(spanStart, right);  // its closing edges lie right of the clip
        }
        ++y;
    }
    return out;
}

}  // namespace zd::engine
