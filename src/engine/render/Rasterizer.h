#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zd::engine {

// How far the chords of a curve may stray from it, in the outline's own units (twips for
// shapes: a tenth of a pixel at 100%). Aliased pictures depend on the exact chords, so they
// are cut once per outline, before any transform.
inline constexpr double kCurveTolerance = 2.0;

// Outlines made of straight edges only, in the units of the outline they came from.
struct Polygons {
    struct Run {
        std::uint32_t end = 0;  // one past the run's last point
        bool closed = false;
    };
    std::vector<QPointF> points;
    std::vector<Run> runs;

    bool empty() const { return points.empty(); }
};

// The points that replace a quadratic curve from p0 (not included) to p2 (included). The
// chords follow the curve's own parabola so each strays about as far as tolerance allows; a
// curve that bends less than tolerance is one chord.
void appendCurveChords(QPointF p0, QPointF p1, QPointF p2, double tolerance,
                       std::vector<QPointF>& out);

// Cuts a cubic from `from` to `to` into chords, calling addLine(a, b) for each in order. Each
// strays at most about `tolerance` from the curve (three quarters of its largest second
// difference over the square of the chord count); a non-finite curve is one chord.
template <typename AddLine>
void forEachCubicChord(QPointF from, QPointF c1, QPointF c2, QPointF to, double tolerance,
                       int maxChords, AddLine&& addLine) {
    const QPointF d1 = from - 2 * c1 + c2;
    const QPointF d2 = c1 - 2 * c2 + to;
    const double bend = std::max(std::hypot(d1.x(), d1.y()), std::hypot(d2.x(), d2.y()));
    const double pieces = std::ceil(std::sqrt(0.75 * bend / tolerance));
    const int n =
        std::isfinite(pieces) ? static_cast<int>(std::clamp(pieces, 1.0, 1.0 * maxChords)) : 1;
    QPointF last = from;
    for (int k = 1; k < n; ++k) {
        const double t = static_cast<double>(k) / n;
        const double u = 1 - t;
        const QPointF p =
            u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * to;
        addLine(last, p);
        last = p;
    }
    addLine(last, to);
}

// Walks a path as closed outlines, each point passed through map first: line(a, b) for every
// straight edge, including the one that closes each subpath, and cubic(from, c1, c2, to) for
// every curve (QPainterPath stores quadratic curves as cubics).
template <typename Map, typename Line, typename Cubic>
void forEachClosedSegment(const QPainterPath& path, Map&& map, Line&& line, Cubic&& cubic) {
    QPointF start;
    QPointF last;
    bool open = false;
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p = map(QPointF(e.x, e.y));
        if (e.isMoveTo()) {
            if (open) {
                line(last, start);
            }
            start = last = p;
            open = true;
        } else if (e.isLineTo()) {
            line(last, p);
            last = p;
        } else if (e.isCurveTo() && i + 2 < count) {
            const QPainterPath::Element e2 = path.elementAt(i + 1);
            const QPainterPath::Element e3 = path.elementAt(i + 2);
            i += 2;
            const QPointF end = map(QPointF(e3.x, e3.y));
            cubic(last, p, map(QPointF(e2.x, e2.y)), end);
            last = end;
        }
    }
    if (open) {
        line(last, start);
    }
}

// A path of lines and quadratic curves (as QPainterPath::quadTo stores them) as polygons.
// Subpaths are closed when the path closes them (fills close every one anyway).
Polygons flattenPath(const QPainterPath& path, double tolerance = kCurveTolerance);

// Aliased scan conversion. A pixel is covered when its centre is inside the outline; a
// centre exactly on an edge belongs to the region on the edge's right (on a horizontal edge,
// to the region below), so shapes sharing an edge neither overlap nor leave a gap. Vertices
// are placed on a grid of 1/256 pixel first, as the pictures of the reference player show.
class AliasedRasterizer {
  public:
    // Only pixels inside clip are ever produced; edges beyond it cost little more than their
    // count.
    explicit AliasedRasterizer(const QRect& clip);

    void addLine(QPointF from, QPointF to);
    // Every run of the polygons, mapped by t, closed (a fill).
    void addPolygons(const Polygons& polygons, const QTransform& t);
    // Every subpath of a device path, closed; its cubic curves (stroke outlines, round caps
    // and joins) are cut finely into chords.
    void addPath(const QPainterPath& path);

    bool empty() const { return edges_.empty(); }
    std::size_t edgeCount() const { return edges_.size(); }

    struct Span {
        int y;
        int x0;  // covered pixels: [x0, x1)
        int x1;
    };
    // The covered runs, row by row from the top, left to right within a row.
    std::vector<Span> spans(bool nonZero) const;

  private:
    struct Edge {
        double yTop;
        double yBottom;
        double xTop;
        double slope;  // dx/dy
        int winding;
    };
    void addCubic(QPointF from, QPointF c1, QPointF c2, QPointF to);

    QRect clip_;
    std::vector<Edge> edges_;
};

}  // namespace zd::engine
