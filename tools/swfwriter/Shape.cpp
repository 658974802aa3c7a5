#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "swfwriter/SwfWriter.h"

namespace zd::swfwriter {

namespace {

// Edge records hold deltas of at most 17 bits (a 4-bit count of bits minus 2).
constexpr unsigned kMaxEdgeBits = 17;

bool isGradient(FillStyle::Type t) {
    return t == FillStyle::Type::LinearGradient || t == FillStyle::Type::RadialGradient ||
           t == FillStyle::Type::FocalGradient;
}

bool isBitmap(FillStyle::Type t) {
    return static_cast<std::uint8_t>(t) >= 0x40 && static_cast<std::uint8_t>(t) <= 0x43;
}

void writeColor(BitWriter& out, Rgba c, int shapeVersion) {
    if (shapeVersion >= 3) {
        writeRgba(out, c);
    } else {
        writeRgb(out, c);
    }
}

}  // namespace

void writeFillStyle(BitWriter& out, const FillStyle& f, int shapeVersion) {
    out.u8(static_cast<std::uint8_t>(f.type));
    if (f.type == FillStyle::Type::Solid) {
        writeColor(out, f.color, shapeVersion);
    } else if (isGradient(f.type)) {
        const Gradient& g = f.gradient;
        const std::size_t maxStops = shapeVersion >= 4 ? 15 : 8;
        if (g.stops.empty() || g.stops.size() > maxStops) {
            throw std::invalid_argument("gradient needs 1 to 8 stops (15 in DefineShape4)");
        }
        if (f.type == FillStyle::Type::FocalGradient && shapeVersion < 4) {
            throw std::invalid_argument("focal gradients need DefineShape4");
        }
        writeMatrix(out, f.matrix);
        const bool modes = shapeVersion >= 4;
        out.ub(modes ? static_cast<std::uint32_t>(g.spread) : 0, 2);
        out.ub(modes ? static_cast<std::uint32_t>(g.interpolation) : 0, 2);
        out.ub(static_cast<std::uint32_t>(g.stops.size()), 4);
        for (const GradientStop& stop : g.stops) {
            out.u8(stop.ratio);
            writeColor(out, stop.color, shapeVersion);
        }
        if (f.type == FillStyle::Type::FocalGradient) {
            out.fixed8(g.focalPoint);
        }
    } else if (isBitmap(f.type)) {
        out.u16(f.bitmapId);
        writeMatrix(out, f.matrix);
    } else {
        throw std::invalid_argument("unknown fill style type");
    }
}

namespace {

void writeLineStyle(BitWriter& out, const LineStyle& l, int shapeVersion) {
    out.u16(l.width);
    if (shapeVersion < 4) {
        writeColor(out, l.color, shapeVersion);
        return;
    }
    out.ub(static_cast<std::uint32_t>(l.startCap), 2);
    out.ub(static_cast<std::uint32_t>(l.join), 2);
    out.flag(l.fill.has_value());
    out.flag(l.noHScale);
    out.flag(l.noVScale);
    out.flag(l.pixelHinting);
    out.ub(0, 5);
    out.flag(l.noClose);
    out.ub(static_cast<std::uint32_t>(l.endCap), 2);
    if (l.join == LineStyle::Join::Miter) {
        out.fixed8(l.miterLimit);
    }
    if (l.fill) {
        writeFillStyle(out, *l.fill, shapeVersion);
    } else {
        writeRgba(out, l.color);
    }
}

void writeCount(BitWriter& out, std::size_t count, bool extendedAllowed) {
    if (count < 0xff) {
        out.u8(static_cast<std::uint8_t>(count));
    } else if (extendedAllowed && count <= 0xffff) {
        out.u8(0xff);
        out.u16(static_cast<std::uint16_t>(count));
    } else {
        throw std::invalid_argument("too many styles for this shape version");
    }
}

template <typename Group>
void writeStyleArrays(BitWriter& out, const Group& g, int shapeVersion) {
    out.align();
    writeCount(out, g.fills.size(), shapeVersion >= 2);
    for (const FillStyle& f : g.fills) {
        writeFillStyle(out, f, shapeVersion);
    }
    writeCount(out, g.lines.size(), true);
    for (const LineStyle& l : g.lines) {
        writeLineStyle(out, l, shapeVersion);
    }
}

void straightEdge(BitWriter& out, std::int32_t dx, std::int32_t dy) {
    const unsigned bits = std::max({2u, BitWriter::signedBits(dx), BitWriter::signedBits(dy)});
    if (bits > kMaxEdgeBits) {
        // Split into halves until each piece fits.
        const std::int32_t hx = dx / 2;
        const std::int32_t hy = dy / 2;
        straightEdge(out, hx, hy);
        straightEdge(out, dx - hx, dy - hy);
        return;
    }
    out.ub(1, 1);  // edge
    out.ub(1, 1);  // straight
    out.ub(bits - 2, 4);
    if (dx != 0 && dy != 0) {
        out.flag(true);  // general line
        out.sb(dx, bits);
        out.sb(dy, bits);
    } else {
        out.flag(false);
        out.flag(dx == 0);  // vertical
        out.sb(dx == 0 ? dy : dx, bits);
    }
}

void curvedEdge(BitWriter& out, Point from, Point control, Point to) {
    const std::int32_t cdx = control.x - from.x;
    const std::int32_t cdy = control.y - from.y;
    const std::int32_t adx = to.x - control.x;
    const std::int32_t ady = to.y - control.y;
    const unsigned bits = std::max({2u, BitWriter::signedBits(cdx), BitWriter::signedBits(cdy),
                                    BitWriter::signedBits(adx), BitWriter::signedBits(ady)});
    if (bits > kMaxEdgeBits) {
        // Split at the middle (de Casteljau), rounded to whole twips.
        const Point c1{(from.x + control.x) / 2, (from.y + control.y) / 2};
        const Point c2{(control.x + to.x) / 2, (control.y + to.y) / 2};
        const Point mid{(c1.x + c2.x) / 2, (c1.y + c2.y) / 2};
        curvedEdge(out, from, c1, mid);
        curvedEdge(out, mid, c2, to);
        return;
    }
    out.ub(1, 1);  // edge
    out.ub(0, 1);  // curved
    out.ub(bits - 2, 4);
    out.sb(cdx, bits);
    out.sb(cdy, bits);
    out.sb(adx, bits);
    out.sb(ady, bits);
}

}  // namespace

Matrix gradientBox(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   double degrees) {
    // Turn the square first, then stretch it to the box, so the ramp spans the box whatever
    // the angle.
    constexpr double kPi = 3.14159265358979323846;
    const double rad = degrees * kPi / 180.0;
    const double sx = width / 32768.0;
    const double sy = height / 32768.0;
    Matrix m;
    m.scaleX = sx * std::cos(rad);
    m.rotateSkew1 = -sx * std::sin(rad);
    m.rotateSkew0 = sy * std::sin(rad);
    m.scaleY = sy * std::cos(rad);
    m.translateX = x + width / 2;
    m.translateY = y + height / 2;
    return m;
}

FillStyle FillStyle::solid(Rgba color) {
    FillStyle f;
    f.type = Type::Solid;
    f.color = color;
    return f;
}

FillStyle FillStyle::linear(const Matrix& m, Gradient g) {
    FillStyle f;
    f.type = Type::LinearGradient;
    f.matrix = m;
    f.gradient = std::move(g);
    return f;
}

FillStyle FillStyle::radial(const Matrix& m, Gradient g) {
    FillStyle f = linear(m, std::move(g));
    f.type = Type::RadialGradient;
    return f;
}

FillStyle FillStyle::focal(const Matrix& m, Gradient g) {
    FillStyle f = linear(m, std::move(g));
    f.type = Type::FocalGradient;
    return f;
}

FillStyle FillStyle::bitmap(std::uint16_t id, const Matrix& m, Type type) {
    if (!isBitmap(type)) {
        throw std::invalid_argument("not a bitmap fill type");
    }
    FillStyle f;
    f.type = type;
    f.bitmapId = id;
    f.matrix = m;
    return f;
}

LineStyle LineStyle::solid(std::uint16_t width, Rgba color) {
    LineStyle l;
    l.width = width;
    l.color = color;
    return l;
}

int ShapeBuilder::addFillStyle(const FillStyle& style) {
    groups_[currentGroup_].fills.push_back(style);
    return static_cast<int>(groups_[currentGroup_].fills.size());
}

int ShapeBuilder::addLineStyle(const LineStyle& style) {
    groups_[currentGroup_].lines.push_back(style);
    return static_cast<int>(groups_[currentGroup_].lines.size());
}

ShapeBuilder::StyleChange& ShapeBuilder::pending() {
    if (!pending_) {
        pending_.emplace();
    }
    return *pending_;
}

void ShapeBuilder::flush() {
    if (pending_) {
        records_.emplace_back(*pending_);
        pending_.reset();
    }
}

void ShapeBuilder::extend(Point p) {
    if (!extent_) {
        extent_ = Rect{p.x, p.x, p.y, p.y};
        return;
    }
    extent_->xMin = std::min(extent_->xMin, p.x);
    extent_->xMax = std::max(extent_->xMax, p.x);
    extent_->yMin = std::min(extent_->yMin, p.y);
    extent_->yMax = std::max(extent_->yMax, p.y);
}

ShapeBuilder& ShapeBuilder::newStyleGroup() {
    flush();
    groups_.emplace_back();
    currentGroup_ = groups_.size() - 1;
    StyleChange change;
    change.newGroup = currentGroup_;
    records_.emplace_back(change);
    return *this;
}

ShapeBuilder& ShapeBuilder::fill0(int index) {
    if (index < 0 || static_cast<std::size_t>(index) > groups_[currentGroup_].fills.size()) {
        throw std::invalid_argument("no such fill style");
    }
    pending().fill0 = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::fill1(int index) {
    if (index < 0 || static_cast<std::size_t>(index) > groups_[currentGroup_].fills.size()) {
        throw std::invalid_argument("no such fill style");
    }
    pending().fill1 = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::line(int index) {
    if (index < 0 || static_cast<std::size_t>(index) > groups_[currentGroup_].lines.size()) {
        throw std::invalid_argument("no such line style");
    }
    pending().line = index;
    return *this;
}

ShapeBuilder& ShapeBuilder::moveTo(std::int32_t x, std::int32_t y) {
    pending().moveTo = Point{x, y};
    extend({x, y});
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(std::int32_t x, std::int32_t y) {
    flush();
    records_.emplace_back(Straight{{x, y}});
    extend({x, y});
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(std::int32_t cx, std::int32_t cy, std::int32_t x,
                                    std::int32_t y) {
    flush();
    records_.emplace_back(Curve{{cx, cy}, {x, y}});
    extend({cx, cy});
    extend({x, y});
    return *this;
}

ShapeBuilder& ShapeBuilder::rectangle(std::int32_t x, std::int32_t y, std::int32_t w,
                                      std::int32_t h) {
    moveTo(x, y);
    lineTo(x + w, y);
    lineTo(x + w, y + h);
    lineTo(x, y + h);
    lineTo(x, y);
    return *this;
}

ShapeBuilder& ShapeBuilder::ellipse(std::int32_t cx, std::int32_t cy, std::int32_t rx,
                                    std::int32_t ry) {
    // Eight quadratic arcs; the control points sit where the tangents of neighbouring
    // anchors meet (at radius / cos 22.5 degrees).
    constexpr double kPi = 3.14159265358979323846;
    const double controlScale = 1.0 / std::cos(kPi / 8);
    auto at = [&](double angle, double scale) {
        return Point{cx + static_cast<std::int32_t>(std::lround(rx * scale * std::cos(angle))),
                     cy + static_cast<std::int32_t>(std::lround(ry * scale * std::sin(angle)))};
    };
    const Point start = at(0, 1);
    moveTo(start.x, start.y);
    for (int i = 0; i < 8; ++i) {
        const Point control = at((2 * i + 1) * kPi / 8, controlScale);
        const Point anchor = i == 7 ? start : at((i + 1) * kPi / 4, 1);
        curveTo(control.x, control.y, anchor.x, anchor.y);
    }
    return *this;
}

ShapeBuilder& ShapeBuilder::polygon(const std::vector<Point>& points) {
    if (points.empty()) {
        return *this;
    }
    moveTo(points.front().x, points.front().y);
    for (std::size_t i = 1; i < points.size(); ++i) {
        lineTo(points[i].x, points[i].y);
    }
    lineTo(points.front().x, points.front().y);
    return *this;
}

Rect ShapeBuilder::edgeBounds() const {
    if (boundsOverride_) {
        return *boundsOverride_;
    }
    return extent_.value_or(Rect{});
}

Rect ShapeBuilder::bounds() const {
    if (boundsOverride_) {
        return *boundsOverride_;
    }
    Rect r = edgeBounds();
    std::int32_t widest = 0;
    for (const StyleGroup& g : groups_) {
        for (const LineStyle& l : g.lines) {
            widest = std::max<std::int32_t>(widest, l.width);
        }
    }
    const std::int32_t half = widest / 2;
    return Rect{r.xMin - half, r.xMax + half, r.yMin - half, r.yMax + half};
}

bool ShapeBuilder::usesNonScalingStrokes() const {
    for (const StyleGroup& g : groups_) {
        for (const LineStyle& l : g.lines) {
            if (l.noHScale || l.noVScale) {
                return true;
            }
        }
    }
    return false;
}

bool ShapeBuilder::usesScalingStrokes() const {
    for (const StyleGroup& g : groups_) {
        for (const LineStyle& l : g.lines) {
            if (!l.noHScale && !l.noVScale) {
                return true;
            }
        }
    }
    return false;
}

Bytes ShapeBuilder::encode(int shapeVersion) const {
    if (shapeVersion < 1 || shapeVersion > 4) {
        throw std::invalid_argument("shape version must be 1 to 4");
    }
    BitWriter out;
    writeStyleArrays(out, groups_[0], shapeVersion);
    writeRecords(out, shapeVersion);
    return out.data();
}

Bytes ShapeBuilder::encodeRecords(int shapeVersion) const {
    BitWriter out;
    writeRecords(out, shapeVersion);
    return out.data();
}

void ShapeBuilder::writeRecords(BitWriter& out, int shapeVersion) const {
    unsigned fillBits =
        BitWriter::unsignedBits(static_cast<std::uint32_t>(groups_[0].fills.size()));
    unsigned lineBits =
        BitWriter::unsignedBits(static_cast<std::uint32_t>(groups_[0].lines.size()));
    out.ub(fillBits, 4);
    out.ub(lineBits, 4);

    std::vector<Record> records = records_;
    if (pending_) {
        records.emplace_back(*pending_);
    }
    Point pos;
    for (const Record& record : records) {
        if (const auto* change = std::get_if<StyleChange>(&record)) {
            if (change->newGroup && shapeVersion < 2) {
                throw std::invalid_argument("new style groups need DefineShape2 or later");
            }
            out.ub(0, 1);
            out.flag(change->newGroup.has_value());
            out.flag(change->line.has_value());
            out.flag(change->fill1.has_value());
            out.flag(change->fill0.has_value());
            out.flag(change->moveTo.has_value());
            if (change->moveTo) {
                const unsigned bits = std::max(BitWriter::signedBits(change->moveTo->x),
                                               BitWriter::signedBits(change->moveTo->y));
                out.ub(bits, 5);
                out.sb(change->moveTo->x, bits);
                out.sb(change->moveTo->y, bits);
                pos = *change->moveTo;
            }
            if (change->fill0) {
                out.ub(static_cast<std::uint32_t>(*change->fill0), fillBits);
            }
            if (change->fill1) {
                out.ub(static_cast<std::uint32_t>(*change->fill1), fillBits);
            }
            if (change->line) {
                out.ub(static_cast<std::uint32_t>(*change->line), lineBits);
            }
            if (change->newGroup) {
                const StyleGroup& g = groups_[*change->newGroup];
                writeStyleArrays(out, g, shapeVersion);
                fillBits = BitWriter::unsignedBits(static_cast<std::uint32_t>(g.fills.size()));
                lineBits = BitWriter::unsignedBits(static_cast<std::uint32_t>(g.lines.size()));
                out.ub(fillBits, 4);
                out.ub(lineBits, 4);
            }
        } else if (const auto* straight = std::get_if<Straight>(&record)) {
            straightEdge(out, straight->to.x - pos.x, straight->to.y - pos.y);
            pos = straight->to;
        } else if (const auto* curve = std::get_if<Curve>(&record)) {
            curvedEdge(out, pos, curve->control, curve->to);
            pos = curve->to;
        }
    }
    out.ub(0, 6);  // end of shape
    out.align();
}

}  // namespace zd::swfwriter
