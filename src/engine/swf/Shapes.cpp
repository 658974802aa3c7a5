#include "engine/swf/Shapes.h"

#include <algorithm>
#include <cmath>

#include "engine/swf/ByteReader.h"

namespace zd::engine {

namespace {

// Pen positions are kept well inside 32 bits whatever the deltas add up to.
constexpr std::int64_t kCoordLimit = std::int64_t{1} << 30;

std::int32_t clampCoord(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp(v, -kCoordLimit, kCoordLimit));
}

Rgba readColor(ByteReader& in, int shapeVersion) {
    return shapeVersion >= 3 ? readRgba(in) : readRgb(in);
}

std::size_t readCount(ByteReader& in, bool extended) {
    std::size_t n = in.u8();
    if (n == 0xff && extended) {
        n = in.u16();
    }
    return n;
}

void readGradient(ByteReader& in, int shapeVersion, bool focal, Gradient& g) {
    in.align();
    const auto spread = static_cast<std::uint8_t>(in.ub(2));
    const bool linearRgb = in.ub(2) == 1;
    // Players honour these bits whatever the shape version says of them.
    (void)shapeVersion;
    g.spread = spread <= Gradient::Repeat ? spread : std::uint8_t{Gradient::Pad};
    g.linearRgb = linearRgb;
    const unsigned count = in.ub(4);
    for (unsigned i = 0; i < count && in.ok(); ++i) {
        GradientRecord r;
        r.ratio = in.u8();
        r.color = readColor(in, shapeVersion);
        g.records.push_back(r);
    }
    if (focal) {
        g.focalPoint = std::clamp(in.fixed8(), -1.0, 1.0);
    }
}

LineStyle readLineStyle(ByteReader& in, int shapeVersion) {
    LineStyle l;
    l.width = in.u16();
    if (shapeVersion < 4) {
        l.color = readColor(in, shapeVersion);
        return l;
    }
    l.startCap = static_cast<std::uint8_t>(in.ub(2));
    l.join = static_cast<std::uint8_t>(in.ub(2));
    const bool hasFill = in.flag();
    l.noHScale = in.flag();
    l.noVScale = in.flag();
    l.pixelHinting = in.flag();
    in.ub(5);
    l.noClose = in.flag();
    l.endCap = static_cast<std::uint8_t>(in.ub(2));
    if (l.join == LineStyle::MiterJoin) {
        l.miterLimit = in.fixed8();
    }
    if (hasFill) {
        l.fill = readFillStyle(in, shapeVersion);
        if (l.fill->type == FillStyle::Solid) {
            l.color = l.fill->color;
            l.fill.reset();
        }
    } else {
        l.color = readRgba(in);
    }
    return l;
}

// Edge records of a shape, its style changes resolved into absolute pen moves.
void readRecords(ByteReader& in, int shapeVersion, bool morphEnd, ShapeDefinition& out) {
    in.align();
    unsigned fillBits = in.ub(4);
    unsigned lineBits = in.ub(4);
    std::int64_t x = 0;
    std::int64_t y = 0;
    std::size_t edges = 0;
    while (in.ok()) {
        const bool isEdge = in.flag();
        if (!isEdge) {
            const unsigned flags = in.ub(5);
            if (flags == 0) {
                break;  // end of shape
            }
            ShapeRecord r;
            r.kind = ShapeRecord::StyleChange;
            if (flags & 0x01) {
                const unsigned bits = in.ub(5);
                x = in.sb(bits);
                y = in.sb(bits);
                r.moveTo = Point{clampCoord(x), clampCoord(y)};
            }
            if (flags & 0x02) {
                r.fill0 = in.ub(fillBits);
            }
            if (flags & 0x04) {
                r.fill1 = in.ub(fillBits);
            }
            if (flags & 0x08) {
                r.line = in.ub(lineBits);
            }
            if (flags & 0x10) {
                // New style arrays only exist in DefineShape2 and later; elsewhere the flag
                // carries nothing.
                if (shapeVersion < 2 || morphEnd) {
                    if (in.ok()) {
                        out.records.push_back(r);
                    }
                    continue;
                }
                StyleGroup g;
                readFillStyles(in, shapeVersion, g.fills);
                readLineStyles(in, shapeVersion, g.lines);
                in.align();
                fillBits = in.ub(4);
                lineBits = in.ub(4);
                r.newStyles = static_cast<std::uint32_t>(out.styleGroups.size());
                out.styleGroups.push_back(std::move(g));
            }
            if (in.ok()) {
                out.records.push_back(r);
            }
            continue;
        }
        if (++edges > kMaxShapeEdges) {
            out.truncated = true;
            return;
        }
        const bool straight = in.flag();
        const unsigned bits = in.ub(4) + 2;
        ShapeRecord r;
        if (straight) {
            r.kind = ShapeRecord::Straight;
            std::int64_t dx = 0;
            std::int64_t dy = 0;
            if (in.flag()) {
                dx = in.sb(bits);
                dy = in.sb(bits);
            } else if (in.flag()) {
                dy = in.sb(bits);
            } else {
                dx = in.sb(bits);
            }
            x += dx;
            y += dy;
        } else {
            r.kind = ShapeRecord::Curved;
            const std::int64_t cx = x + in.sb(bits);
            const std::int64_t cy = y + in.sb(bits);
            x = cx + in.sb(bits);
            y = cy + in.sb(bits);
            r.control = Point{clampCoord(cx), clampCoord(cy)};
        }
        x = clampCoord(x);
        y = clampCoord(y);
        r.to = Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
        if (!in.ok()) {
            break;
        }
        out.records.push_back(r);
    }
    if (!in.ok()) {
        out.truncated = true;
    }
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

std::int32_t lerpInt(std::int32_t a, std::int32_t b, double t) {
    return static_cast<std::int32_t>(std::lround(lerp(a, b, t)));
}

// Colours between the two ends are cut down to whole steps, not rounded: a third of the way
// from 255 to 0 is 84.99..., drawn as 84.
std::uint8_t lerpByte(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::clamp(std::floor(lerp(a, b, t)), 0.0, 255.0));
}

Rgba lerpColor(Rgba a, Rgba b, double t) {
    return Rgba{lerpByte(a.r, b.r, t), lerpByte(a.g, b.g, t), lerpByte(a.b, b.b, t),
                lerpByte(a.a, b.a, t)};
}

Matrix lerpMatrix(const Matrix& a, const Matrix& b, double t) {
    Matrix m;
    m.a = lerp(a.a, b.a, t);
    m.b = lerp(a.b, b.b, t);
    m.c = lerp(a.c, b.c, t);
    m.d = lerp(a.d, b.d, t);
    m.tx = lerpInt(a.tx, b.tx, t);
    m.ty = lerpInt(a.ty, b.ty, t);
    return m;
}

Point lerpPoint(Point a, Point b, double t) {
    return Point{lerpInt(a.x, b.x, t), lerpInt(a.y, b.y, t)};
}

FillStyle lerpFill(const FillStyle& a, const FillStyle& b, double t) {
    FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    const std::size_t n = std::min(a.gradient.records.size(), b.gradient.records.size());
    f.gradient.records.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        f.gradient.records[i].ratio =
            lerpByte(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t);
        f.gradient.records[i].color =
            lerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    return f;
}

FillStyle readMorphFill(ByteReader& in, FillStyle& end) {
    FillStyle start;
    start.type = in.u8();
    end.type = start.type;
    if (start.type == FillStyle::Solid) {
        start.color = readRgba(in);
        end.color = readRgba(in);
    } else if (start.isGradient()) {
        start.matrix = readMatrix(in);
        end.matrix = readMatrix(in);
        const std::uint8_t head = in.u8();
        start.gradient.spread = end.gradient.spread = (head >> 6) & 3;
        start.gradient.linearRgb = end.gradient.linearRgb = ((head >> 4) & 3) == 1;
        const unsigned count = head & 0x0f;
        for (unsigned i = 0; i < count && in.ok(); ++i) {
            GradientRecord s;
            GradientRecord e;
            s.ratio = in.u8();
            s.color = readRgba(in);
            e.ratio = in.u8();
            e.color = readRgba(in);
            start.gradient.records.push_back(s);
            end.gradient.records.push_back(e);
        }
        if (start.type == FillStyle::FocalGradient) {
            start.gradient.focalPoint = std::clamp(in.fixed8(), -1.0, 1.0);
            end.gradient.focalPoint = std::clamp(in.fixed8(), -1.0, 1.0);
        }
    } else if (start.isBitmap()) {
        start.bitmapId = end.bitmapId = in.u16();
        start.matrix = readMatrix(in);
        end.matrix = readMatrix(in);
    } else {
        in.skip(in.remaining() + 1);  // unknown type: nothing after it can be read
    }
    return start;
}

}  // namespace

FillStyle readFillStyle(ByteReader& in, int shapeVersion) {
    FillStyle f;
    f.type = in.u8();
    if (f.type == FillStyle::Solid) {
        f.color = readColor(in, shapeVersion);
    } else if (f.isGradient()) {
        f.matrix = readMatrix(in);
        readGradient(in, shapeVersion, f.type == FillStyle::FocalGradient, f.gradient);
    } else if (f.isBitmap()) {
        f.bitmapId = in.u16();
        f.matrix = readMatrix(in);
    } else {
        in.skip(in.remaining() + 1);  // unknown type: nothing after it can be read
    }
    return f;
}

void readFillStyles(ByteReader& in, int shapeVersion, std::vector<FillStyle>& out) {
    const std::size_t n = readCount(in, shapeVersion >= 2);
    for (std::size_t i = 0; i < n && in.ok(); ++i) {
        out.push_back(readFillStyle(in, shapeVersion));
    }
}

void readLineStyles(ByteReader& in, int shapeVersion, std::vector<LineStyle>& out) {
    const std::size_t n = readCount(in, true);
    for (std::size_t i = 0; i < n && in.ok(); ++i) {
        out.push_back(readLineStyle(in, shapeVersion));
    }
}

void readShapeRecords(ByteReader& in, int shapeVersion, ShapeDefinition& out) {
    readRecords(in, shapeVersion, false, out);
}

ShapeDefinition parseShape(ByteReader& in, int shapeVersion) {
    ShapeDefinition s;
    s.bounds = readRect(in);
    s.edgeBounds = s.bounds;
    if (shapeVersion >= 4) {
        s.edgeBounds = readRect(in);
        in.ub(5);
        s.windingRule = in.flag();
        in.ub(2);  // non-scaling / scaling stroke hints
    }
    s.styleGroups.emplace_back();
    readFillStyles(in, shapeVersion, s.styleGroups[0].fills);
    readLineStyles(in, shapeVersion, s.styleGroups[0].lines);
    readRecords(in, shapeVersion, false, s);
    return s;
}

ShapeDefinition parseGlyph(ByteReader& in) {
    ShapeDefinition s;
    s.styleGroups.emplace_back();
    s.styleGroups[0].fills.push_back(FillStyle{});
    readRecords(in, 1, false, s);
    return s;
}

MorphShapeDefinition parseMorphShape(ByteReader& in, int version) {
    MorphShapeDefinition m;
    m.startBounds = readRect(in);
    m.endBounds = readRect(in);
    if (version >= 2) {
        readRect(in);  // edge bounds of both ends
        readRect(in);
        in.u8();
    }
    const std::uint32_t endOffset = in.u32();
    const std::size_t afterOffset = in.position();
    const std::size_t fills = readCount(in, true);
    for (std::size_t i = 0; i < fills && in.ok(); ++i) {
        MorphFill f;
        f.start = readMorphFill(in, f.end);
        m.fills.push_back(std::move(f));
    }
    const std::size_t lines = readCount(in, true);
    for (std::size_t i = 0; i < lines && in.ok(); ++i) {
        MorphLine l;
        l.start.width = in.u16();
        l.end.width = in.u16();
        if (version >= 2) {
            l.start.startCap = static_cast<std::uint8_t>(in.ub(2));
            l.start.join = static_cast<std::uint8_t>(in.ub(2));
            const bool hasFill = in.flag();
            l.start.noHScale = in.flag();
            l.start.noVScale = in.flag();
            l.start.pixelHinting = in.flag();
            in.ub(5);
            l.start.noClose = in.flag();
            l.start.endCap = static_cast<std::uint8_t>(in.ub(2));
            if (l.start.join == LineStyle::MiterJoin) {
                l.start.miterLimit = in.fixed8();
            }
            const std::uint16_t endWidth = l.end.width;
            l.end = l.start;
            l.end.width = endWidth;
            if (hasFill) {
                FillStyle endFill;
                FillStyle startFill = readMorphFill(in, endFill);
                if (startFill.type == FillStyle::Solid) {
                    l.start.color = startFill.color;
                    l.end.color = endFill.color;
                } else {
                    l.start.fill = startFill;
                    l.end.fill = endFill;
                }
            } else {
                l.start.color = readRgba(in);
                l.end.color = readRgba(in);
            }
        } else {
            l.start.color = readRgba(in);
            l.end.color = readRgba(in);
        }
        m.lines.push_back(std::move(l));
    }
    m.startEdges.styleGroups.emplace_back();
    readRecords(in, version >= 2 ? 4 : 3, false, m.startEdges);
    // The end edges start at the offset given, whatever the start edges took.
    const std::size_t endAt = afterOffset + endOffset;
    if (in.ok() && endAt >= in.position() && endAt <= in.size()) {
        in.skip(endAt - in.position());
    }
    m.endEdges.styleGroups.emplace_back();
    readRecords(in, version >= 2 ? 4 : 3, true, m.endEdges);
    return m;
}

ShapeDefinition morphAt(const MorphShapeDefinition& morph, std::uint16_t ratio) {
    const double t = ratio / 65535.0;
    ShapeDefinition s;
    s.bounds.xMin = lerpInt(morph.startBounds.xMin, morph.endBounds.xMin, t);
    s.bounds.xMax = lerpInt(morph.startBounds.xMax, morph.endBounds.xMax, t);
    s.bounds.yMin = lerpInt(morph.startBounds.yMin, morph.endBounds.yMin, t);
    s.bounds.yMax = lerpInt(morph.startBounds.yMax, morph.endBounds.yMax, t);
    s.edgeBounds = s.bounds;
    StyleGroup& g = s.styleGroups.emplace_back();
    for (const MorphFill& f : morph.fills) {
        g.fills.push_back(lerpFill(f.start, f.end, t));
    }
    for (const MorphLine& l : morph.lines) {
        LineStyle line = l.start;
        line.width = static_cast<std::uint16_t>(lerpInt(l.start.width, l.end.width, t));
        line.color = lerpColor(l.start.color, l.end.color, t);
        if (l.start.fill && l.end.fill) {
            line.fill = lerpFill(*l.start.fill, *l.end.fill, t);
        }
        g.lines.push_back(std::move(line));
    }

    // Edges pair up in order; moves of the start shape pair with moves of the end shape. A
    // straight edge facing a curve becomes a curve with its control point halfway.
    const auto& a = morph.startEdges.records;
    const auto& b = morph.endEdges.records;
    std::size_t j = 0;
    Point penA;
    Point penB;
    s.records.reserve(a.size());
    for (const ShapeRecord& ra : a) {
        if (ra.kind == ShapeRecord::StyleChange) {
            ShapeRecord r = ra;
            r.newStyles.reset();
            if (ra.moveTo) {
                penA = *ra.moveTo;
                // The matching move of the end shape, if its next record is one.
                while (j < b.size() && b[j].kind == ShapeRecord::StyleChange && !b[j].moveTo) {
                    ++j;
                }
                if (j < b.size() && b[j].kind == ShapeRecord::StyleChange) {
                    penB = *b[j].moveTo;
                    ++j;
                }
                r.moveTo = lerpPoint(penA, penB, t);
            }
            s.records.push_back(r);
            continue;
        }
        while (j < b.size() && b[j].kind == ShapeRecord::StyleChange) {
            if (b[j].moveTo) {
                penB = *b[j].moveTo;
            }
            ++j;
        }
        if (j >= b.size()) {
            s.truncated = true;
            break;  // the end shape has fewer edges: the rest cannot be morphed
        }
        const ShapeRecord& rb = b[j++];
        auto controlOf = [](const ShapeRecord& r, Point from) {
            return r.kind == ShapeRecord::Curved
                       ? r.control
                       : Point{static_cast<std::int32_t>((std::int64_t{from.x} + r.to.x) / 2),
                               static_cast<std::int32_t>((std::int64_t{from.y} + r.to.y) / 2)};
        };
        ShapeRecord r;
        r.kind = ra.kind == ShapeRecord::Straight && rb.kind == ShapeRecord::Straight
                     ? ShapeRecord::Straight
                     : ShapeRecord::Curved;
        if (r.kind == ShapeRecord::Curved) {
            r.control = lerpPoint(controlOf(ra, penA), controlOf(rb, penB), t);
        }
        r.to = lerpPoint(ra.to, rb.to, t);
        penA = ra.to;
        penB = rb.to;
        s.records.push_back(r);
    }
    return s;
}

}  // namespace zd::engine
