#include "engine/render/Stroker.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zd::engine {

namespace {

// A curve is cut into this many chords at most, as fills cut theirs.
constexpr int kMaxCurveChords = 1024;
// Round joins and caps take at most this many chords per half turn, however wide the line.
constexpr int kMaxArcChords = 128;

double cross(QPointF a, QPointF b) {
    return a.x() * b.y() - a.y() * b.x();
}

double dotProduct(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}

// The unit vector a quarter turn from d, on the side the outline's first half runs along.
QPointF normalOf(QPointF d) {
    return QPointF(-d.y(), d.x());
}

bool finite(QPointF p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

StrokeStyle::Cap capOf(std::uint8_t cap) {
    switch (cap) {
        case LineStyle::NoCap:
            return StrokeStyle::Cap::None;
        case LineStyle::SquareCap:
            return StrokeStyle::Cap::Square;
        default:
            return StrokeStyle::Cap::Round;
    }
}

}  // namespace

LineOutline lineOutline(const LineStyle& line, double scale, double stageScale) {
    LineOutline out;
    out.style.startCap = capOf(line.startCap);
    out.style.endCap = capOf(line.endCap);
    out.style.join = line.join == LineStyle::BevelJoin   ? StrokeStyle::Join::Bevel
                     : line.join == LineStyle::MiterJoin ? StrokeStyle::Join::Miter
                                                         : StrokeStyle::Join::Round;
    out.style.miterLimit = line.miterLimit;
    const bool fixedWidth = line.noHScale || line.noVScale;
    const double deviceWidth = fixedWidth ? line.width / 20.0 * stageScale : line.width * scale;
    if (line.width == 0 || !(deviceWidth >= 1.0)) {
        out.style.width = 1.0;
        out.onDevice = true;
    } else if (fixedWidth) {
        out.style.width = deviceWidth;
        out.onDevice = true;
    } else {
        out.style.width = line.width;
    }
    return out;
}

Stroker::Stroker(const StrokeStyle& style, double tolerance) : style_(style) {
    half_ = std::isfinite(style.width) && style.width > 0 ? style.width / 2 : 0.0;
    tolerance_ = std::isfinite(tolerance) && tolerance > 0 ? tolerance : 0.1;
    // Arcs are cut as a quarter circle drawn as a cubic curve would be cut to the tolerance:
    // its second differences come to 0.46 radii, so sqrt(0.75 x 0.46 r / tolerance) chords,
    // evenly spaced. They stray about a tenth of the tolerance, and small ones (half a pixel
    // across) get the same corners the painter's did.
    const double perQuarter = std::ceil(std::sqrt(0.345 * half_ / tolerance_));
    arcStep_ = std::numbers::pi / 2 /
               std::clamp(std::isfinite(perQuarter) ? perQuarter : 1.0, 1.0, kMaxArcChords / 2.0);
    if (!std::isfinite(style_.miterLimit)) {
        style_.miterLimit = 1.0;
    }
}

Polygons Stroker::stroke(const QPainterPath& path, const QTransform& map, bool openEnds) {
    Polygons out;
    std::vector<QPointF> points;
    std::vector<bool> smooth;
    QPointF start;  // of the subpath, before mapping: ends meeting exactly close it
    QPointF last;
    auto flush = [&]() {
        if (!points.empty()) {
            strokeLine(points, smooth, !openEnds && last == start && points.size() > 2, out);
        }
        points.clear();
        smooth.clear();
    };
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p(e.x, e.y);
        if (e.isMoveTo()) {
            flush();
            start = last = p;
            points.push_back(map.map(p));
            smooth.push_back(false);
        } else if (e.isLineTo()) {
            points.push_back(map.map(p));
            smooth.push_back(false);
            last = p;
        } else if (e.isCurveTo() && i + 2 < count && !points.empty()) {
            const QPointF c2(path.elementAt(i + 1).x, path.elementAt(i + 1).y);
            const QPointF end(path.elementAt(i + 2).x, path.elementAt(i + 2).y);
            i += 2;
            forEachCubicChord(points.back(), map.map(p), map.map(c2), map.map(end), tolerance_,
                              kMaxCurveChords, [&](QPointF, QPointF to) {
                                  points.push_back(to);
                                  smooth.push_back(true);
                              });
            smooth.back() = false;  // where the curve ends, the next edge meets it at an angle
            last = end;
        }
        if (points.size() > kMaxPoints) {
            break;  // more than any outline may hold
        }
    }
    flush();
    return out;
}

void Stroker::strokeLine(const std::vector<QPointF>& points, const std::vector<bool>& smooth,
                         bool closed, Polygons& out) {
    if (half_ <= 0 || out.points.size() >= kMaxPoints) {
        return;
    }
    out_ = &out;
    vertices_.clear();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPointF p = points[i];
        if (!finite(p)) {
            continue;
        }
        const bool isSmooth = i < smooth.size() && smooth[i];
        if (!vertices_.empty() && vertices_.back().p == p) {
            vertices_.back().smooth = vertices_.back().smooth && isSmooth;
            continue;
        }
        vertices_.push_back({p, isSmooth});
    }
    if (closed) {
        while (vertices_.size() > 1 && vertices_.back().p == vertices_.front().p) {
            vertices_.pop_back();
        }
        vertices_.front().smooth = false;
    }
    if (vertices_.empty()) {
        return;
    }
    loopStart_ = static_cast<std::uint32_t>(out.points.size());
    if (vertices_.size() == 1) {
        dot(vertices_.front().p);
        return;
    }
    if (closed && vertices_.size() > 2) {
        side(false, true);
        endLoop();
        side(true, true);
        endLoop();
        return;
    }
    const QPointF first = vertices_.front().p;
    const QPointF lastPoint = vertices_.back().p;
    const QPointF second = vertices_[1].p;
    const QPointF beforeLast = vertices_[vertices_.size() - 2].p;
    auto unit = [](QPointF d) { return d / std::hypot(d.x(), d.y()); };
    side(false, false);
    cap(lastPoint, unit(lastPoint - beforeLast), style_.endCap);
    side(true, false);
    cap(first, unit(first - second), style_.startCap);
    endLoop();
}

void Stroker::side(bool reversed, bool closed) {
    const std::size_t n = vertices_.size();
    auto vertex = [&](std::size_t k) -> const Vertex& {
        return vertices_[reversed ? n - 1 - k : k];
    };
    // Segment k runs from vertex k to vertex k + 1 (the first again for the closing one).
    const std::size_t segments = closed ? n : n - 1;
    auto segment = [&](std::size_t k, double& length) {
        const QPointF d = vertex((k + 1) % n).p - vertex(k).p;
        length = std::hypot(d.x(), d.y());
        return length > 0 && std::isfinite(length) ? d / length : QPointF(1, 0);
    };
    double length0 = 0;
    double length1 = 0;
    QPointF d0 = segment(closed ? segments - 1 : 0, length0);
    if (!closed) {
        put(vertex(0).p + half_ * normalOf(d0));
    }
    for (std::size_t k = closed ? 0 : 1; k < n; ++k) {
        if (!closed && k == n - 1) {
            put(vertex(k).p + half_ * normalOf(d0));
            break;
        }
        const QPointF d1 = segment(k, length1);
        join(vertex(k).p, d0, d1, length0, length1, vertex(k).smooth);
        d0 = d1;
        length0 = length1;
    }
}

void Stroker::join(QPointF at, QPointF d0, QPointF d1, double len0, double len1, bool smooth) {
    const QPointF n0 = normalOf(d0);
    const QPointF n1 = normalOf(d1);
    const QPointF a = at + half_ * n0;
    const QPointF b = at + half_ * n1;
    const double turn = cross(d0, d1);
    const double along = dotProduct(d0, d1);
    const bool outer = turn < 0 || (turn == 0 && along < 0);
    if (!outer) {
        // The inner side: where both offset lines meet when that lies within both segments,
        // else in and out through the corner itself (the loop that leaves is covered anyway).
        const double reach = half_ * std::abs(turn) / (1 + along);
        if (1 + along > 1e-12 && reach < 0.5 * std::min(len0, len1)) {
            put(at + half_ * (n0 + n1) / (1 + along));
        } else {
            put(a);
            put(at);
            put(b);
        }
        return;
    }
    put(a);
    const StrokeStyle::Join style = smooth ? StrokeStyle::Join::Round : style_.join;
    if (style == StrokeStyle::Join::Round) {
        const double angle = turn == 0 ? -std::numbers::pi : std::atan2(turn, along);
        arc(at, a, angle);
    } else if (style == StrokeStyle::Join::Miter) {
        // A miter longer than the limit is not cut short: the corner is bevelled instead.
        const double limit = std::max(1.0, style_.miterLimit) * 2 * half_;
        if (1 + along > 1e-12 && half_ * std::sqrt(2 / (1 + along)) <= limit) {
            put(at + half_ * (n0 + n1) / (1 + along));
        }
    }
    put(b);
}

void Stroker::cap(QPointF at, QPointF direction, StrokeStyle::Cap cap) {
    const QPointF n = normalOf(direction);
    switch (cap) {
        case StrokeStyle::Cap::None:
            break;
        case StrokeStyle::Cap::Square:
            put(at + half_ * (n + direction));
            put(at + half_ * (direction - n));
            break;
        case StrokeStyle::Cap::Round:
            arc(at, at + half_ * n, -std::numbers::pi);
            break;
    }
}

void Stroker::arc(QPointF centre, QPointF from, double angle) {
    const int steps = static_cast<int>(
        std::clamp(std::ceil(std::abs(angle) / arcStep_ - 1e-9), 1.0, 2.0 * kMaxArcChords));
    const QPointF r = from - centre;
    for (int k = 1; k < steps; ++k) {
        const double a = angle * k / steps;
        const double c = std::cos(a);
        const double s = std::sin(a);
        put(centre + QPointF(r.x() * c - r.y() * s, r.x() * s + r.y() * c));
    }
}

void Stroker::dot(QPointF at) {
    // A line of no length: a round cap makes it a disc, a square one a square, none nothing.
    const StrokeStyle::Cap cap = style_.startCap;
    if (cap == StrokeStyle::Cap::Round) {
        put(at + QPointF(half_, 0));
        arc(at, at + QPointF(half_, 0), -2 * std::numbers::pi);
    } else if (cap == StrokeStyle::Cap::Square) {
        put(at + QPointF(half_, half_));
        put(at + QPointF(half_, -half_));
        put(at + QPointF(-half_, -half_));
        put(at + QPointF(-half_, half_));
    }
    endLoop();
}

void Stroker::put(QPointF p) {
    std::vector<QPointF>& points = out_->points;
    if ((points.size() > loopStart_ && points.back() == p) || points.size() > kMaxPoints) {
        return;  // endLoop drops a loop cut short
    }
    points.push_back(p);
}

void Stroker::endLoop() {
    std::vector<QPointF>& points = out_->points;
    if (points.size() >= kMaxPoints || points.size() < loopStart_ + 3) {
        points.resize(loopStart_);  // too many to draw, or nothing that covers anything
    } else {
        out_->runs.push_back({static_cast<std::uint32_t>(points.size()), true});
    }
    loopStart_ = static_cast<std::uint32_t>(points.size());
}

}  // namespace zd::engine
