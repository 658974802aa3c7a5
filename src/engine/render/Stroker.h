#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QTransform>
#include <cstdint>
#include <vector>

#include "engine/render/Rasterizer.h"
#include "engine/swf/Shapes.h"

namespace zd::engine {

struct StrokeStyle {
    enum class Cap : std::uint8_t { Round, None, Square };
    enum class Join : std::uint8_t { Round, Bevel, Miter };
    double width = 1.0;  // full width, in the units of the centre line
    Cap startCap = Cap::Round;
    Cap endCap = Cap::Round;
    Join join = Join::Round;
    // A miter reaches at most this many widths past the point where the lines meet; a corner
    // whose miter would reach further is bevelled.
    double miterLimit = 3.0;
};

// Turns centre lines into the outlines of their strokes. Each subpath becomes closed loops
// that, filled by the non-zero rule, cover exactly what the stroke paints: one loop around an
// open line (down one side, round the end cap, back up the other side, round the start cap);
// two around a closed one. Where a line turns, the outer side gets the join and the inner side
// meets at the corner. Inside curves (cut into chords first) the outer side is always rounded,
// as the curve's own outline would be.
class Stroker {
  public:
    // tolerance: how far chords of curves and arcs may stray, in the centre line's units.
    Stroker(const StrokeStyle& style, double tolerance);

    // The outline of path's stroke, its points mapped by map first (curves are cut into chords
    // after mapping). A subpath ending where it started is joined all round unless openEnds.
    Polygons stroke(const QPainterPath& path, const QTransform& map = {}, bool openEnds = false);

    // The same for one line given as points; smooth (when given, one per point) marks the
    // points inside a curve.
    void strokeLine(const std::vector<QPointF>& points, const std::vector<bool>& smooth,
                    bool closed, Polygons& out);

    // Outlines beyond this many points are not drawn; a hostile shape cannot run memory out.
    static constexpr std::size_t kMaxPoints = std::size_t{1} << 22;

  private:
    struct Vertex {
        QPointF p;
        bool smooth;
    };
    // One side of the line from the end of segment `from` to vertices_[to], in the order
    // given: the offset points and the joins at each inner vertex.
    void side(bool reversed, bool closed);
    void join(QPointF at, QPointF d0, QPointF d1, double len0, double len1, bool smooth);
    void cap(QPointF at, QPointF direction, StrokeStyle::Cap cap);
    void arc(QPointF centre, QPointF from, double angle);
    void put(QPointF p);
    void endLoop();
    void dot(QPointF at);

    StrokeStyle style_;
    double half_;
    double tolerance_;
    double arcStep_;  // the angle of one chord of a round join or cap
    std::vector<Vertex> vertices_;
    Polygons* out_ = nullptr;
    std::uint32_t loopStart_ = 0;
};

// How a shape's line is outlined: in the shape's own units, so its width follows the transform
// in each direction, or on the device for hairlines, lines that keep their width (the no-scale
// flags) and lines thinner than a pixel, which all keep one pixel at least.
struct LineOutline {
    StrokeStyle style;
    bool onDevice = false;
};
// scale: device pixels per unit of the shape (the mean of both axes); stageScale: device
// pixels per stage pixel.
LineOutline lineOutline(const LineStyle& line, double scale, double stageScale);

}  // namespace zd::engine
