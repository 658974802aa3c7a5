#include "engine/render/ShapePainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

#include "engine/render/CharacterCache.h"

namespace zd::engine {

namespace {

// Device coordinates beyond this are cut away before drawing.
constexpr double kMaxDeviceCoordinate = 16000.0;

double toLinear(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double fromLinear(double v) {
    return v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

QGradientStops gradientStops(const Gradient& g, const ColorLut& lut, bool radial) {
    // The colour at each of the 256 ratios, each channel interpolated on its own (not
    // premultiplied). A ratio takes the segment that ends at the first record at or past it,
    // so records out of order still give what players show.
    struct Channels {
        double r, g, b, a;
    };
    std::vector<Channels> colours;
    colours.reserve(g.records.size());
    for (const GradientRecord& r : g.records) {
        const Rgba c = lut.apply(r.color);
        const double a = c.a / 255.0;
        if (g.linearRgb) {
            colours.push_back(
                {toLinear(c.r / 255.0), toLinear(c.g / 255.0), toLinear(c.b / 255.0), a});
        } else {
            colours.push_back({c.r / 255.0, c.g / 255.0, c.b / 255.0, a});
        }
    }
    QGradientStops stops;
    stops.reserve(256);
    for (int t = 0; t < 256; ++t) {
        std::size_t i = 0;
        while (i < g.records.size() && g.records[i].ratio < t) {
            ++i;
        }
        Channels c;
        if (i == 0) {
            c = colours.front();
        } else if (i == g.records.size()) {
            c = colours.back();
        } else {
            const double from = g.records[i - 1].ratio;
            const double to = g.records[i].ratio;
            const double f = to > from ? std::clamp((t - from) / (to - from), 0.0, 1.0) : 1.0;
            const Channels& x = colours[i - 1];
            const Channels& y = colours[i];
            c = {x.r + (y.r - x.r) * f, x.g + (y.g - x.g) * f, x.b + (y.b - x.b) * f,
                 x.a + (y.a - x.a) * f};
        }
        double r = c.r;
        double gr = c.g;
        double b = c.b;
        if (g.linearRgb) {
            r = fromLinear(r);
            gr = fromLinear(gr);
            b = fromLinear(b);
        }
        const QColor colour = QColor::fromRgbF(static_cast<float>(std::clamp(r, 0.0, 1.0)),
                                               static_cast<float>(std::clamp(gr, 0.0, 1.0)),
                                               static_cast<float>(std::clamp(b, 0.0, 1.0)),
                                               static_cast<float>(std::clamp(c.a, 0.0, 1.0)));
        // The ramp has 256 entries. Linear gradients blend between the entries' centres;
        // radial ones show the entry a point falls in, as the reference pictures have it.
        if (radial) {
            stops.append({t / 256.0, colour});
            stops.append({(t + 1) / 256.0 - 1e-6, colour});
        } else {
            stops.append({(t + 0.5) / 256.0, colour});
        }
    }
    return stops;
}

}  // namespace

void ShapePainter::drawShapePaths(RenderSurface& s, const ShapePaths& paths,
                                  const RenderState& state) {
    if (!options_.antialias) {
        // Chords cut once per shape; the rasterizer keeps only what falls on the image.
        const QTransform device = s.deviceTransform(state.xform);
        for (const ShapePaths::Group& g : paths.groups) {
            for (const ShapePaths::Fill& f : g.fills) {
                fillAliased(s, f.polygons(), f.path.fillRule() == Qt::WindingFill, device, f.style,
                            state);
            }
            if (state.maskMode) {
                continue;  // masks are made of the fills alone
            }
            for (const ShapePaths::Stroke& l : g.strokes) {
                const bool visible = l.style.fill || state.lut.color(l.style.color).alpha() != 0;
                if (visible) {
                    strokeAliased(s, l.polygons(), strokePen(l.style, state), l.style, state);
                }
            }
        }
        return;
    }
    QPainter& p = *s.painter;
    p.setRenderHint(QPainter::Antialiasing, true);
    s.setTransform(state.xform);
    // A shape blown up far past the device is cut to what can show first: the rasterizer
    // cannot take coordinates that large.
    const QRectF onDevice = state.xform.mapRect(paths.bounds);
    const bool huge =
        std::max({std::abs(onDevice.left()), std::abs(onDevice.right()), std::abs(onDevice.top()),
                  std::abs(onDevice.bottom())}) > kMaxDeviceCoordinate;
    QPainterPath window;
    if (huge) {
        if (std::abs(state.xform.determinant()) < 1e-12) {
            return;
        }
        window.addPolygon(
            state.xform.inverted().map(QPolygonF(QRectF(s.visible.adjusted(-4, -4, 4, 4)))));
        window.closeSubpath();
    }
    const QTransform device = s.deviceTransform(state.xform);
    for (const ShapePaths::Group& g : paths.groups) {
        for (const ShapePaths::Fill& f : g.fills) {
            if (!huge && (state.maskMode || f.style.type == FillStyle::Solid)) {
                // Solid fills go through our own coverage rasterizer: the painter's took
                // about twice as long on large outlines.
                const QColor c =
                    state.maskMode ? QColor(Qt::white) : state.lut.color(f.style.color);
                if (c.alpha() != 0) {
                    coverage_.reset(s.image->rect());
                    coverage_.addPath(f.path, device);
                    coverage_.fill(*s.image, f.path.fillRule() == Qt::WindingFill,
                                   qPremultiply(c.rgba()));
                }
                continue;
            }
            fillPath(s, huge ? f.path.intersected(window) : f.path, f.style, state);
        }
        if (state.maskMode) {
            continue;  // masks are made of the fills alone
        }
        for (const ShapePaths::Stroke& l : g.strokes) {
            if (huge) {
                QPainterPathStroker stroker;
                stroker.setWidth(std::max<double>(l.style.width, 1.0));
                FillStyle solid;
                solid.color = l.style.color;
                fillPath(s, stroker.createStroke(l.path).intersected(window),
                         l.style.fill ? *l.style.fill : solid, state);
                continue;
            }
            strokePath(s, l.path, l.style, state);
        }
    }
}

QBrush ShapePainter::gradientBrush(const FillStyle& style, const ColorLut& lut) const {
    const Gradient& g = style.gradient;
    if (g.records.empty()) {
        return QBrush(Qt::transparent);
    }
    const QGradientStops stops = gradientStops(g, lut, style.type != FillStyle::LinearGradient);
    const QTransform m = toQt(style.matrix);
    if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
        return QBrush(stops.back().second);
    }
    QGradient::Spread spread = QGradient::PadSpread;
    if (g.spread == Gradient::Reflect) {
        spread = QGradient::ReflectSpread;
    } else if (g.spread == Gradient::Repeat) {
        spread = QGradient::RepeatSpread;
    }
    QBrush brush;
    if (style.type == FillStyle::LinearGradient) {
        QLinearGradient lg(-16384.0, 0.0, 16384.0, 0.0);
        lg.setStops(stops);
        lg.setSpread(spread);
        brush = QBrush(lg);
    } else {
        const double focal = style.type == FillStyle::FocalGradient ? g.focalPoint : 0.0;
        QRadialGradient rg(QPointF(0, 0), 16384.0, QPointF(focal * 16384.0 * 0.999, 0));
        rg.setStops(stops);
        rg.setSpread(spread);
        brush = QBrush(rg);
    }
    brush.setTransform(m);
    return brush;
}

void ShapePainter::fillPath(RenderSurface& s, const QPainterPath& path, const FillStyle& style,
                            const RenderState& state) {
    QPainter& p = *s.painter;
    if (state.maskMode) {
        p.fillPath(path, Qt::white);
        return;
    }
    if (style.type == FillStyle::Solid) {
        const QColor c = state.lut.color(style.color);
        if (c.alpha() != 0) {
            p.fillPath(path, c);
        }
        return;
    }
    if (style.isGradient()) {
        p.fillPath(path, gradientBrush(style, state.lut));
        return;
    }
    if (style.isBitmap()) {
        QImage image = cache_.transformedBitmap(style.bitmapId, state.lut);
        if (image.isNull()) {
            p.fillPath(path, QColor(0xc0, 0xc0, 0xc0));  // placeholder for a missing bitmap
            return;
        }
        const QTransform m = toQt(style.matrix);
        if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            return;
        }
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, style.bitmapSmoothed());
        if (style.bitmapRepeats()) {
            QBrush brush(image);
            brush.setTransform(m);
            p.fillPath(path, brush);
        } else {
            p.setClipPath(path, Qt::IntersectClip);
            p.setTransform(m * p.transform());
            p.drawImage(0, 0, image);
        }
        p.restore();
    }
}

void ShapePainter::fillAliased(RenderSurface& s, const Polygons& outline, bool nonZero,
                               const QTransform& device, const FillStyle& style,
                               const RenderState& state, const std::optional<QRect>& clip) {
    AliasedRasterizer r(clip ? clip->intersected(s.image->rect()) : s.image->rect());
    r.addPolygons(outline, device);
    const auto spans = r.spans(nonZero);
    if (!spans.empty()) {
        paintSpans(s, spans, style, device, state);
    }
}

namespace {

// Source over, premultiplied, rounding as QPainter does.
inline QRgb over(QRgb src, QRgb dst) {
    const unsigned k = 255 - qAlpha(src);
    auto mul = [k](unsigned v) {
        const unsigned t = v * k + 128;
        return (t + (t >> 8)) >> 8;
    };
    return qRgba(qRed(src) + mul(qRed(dst)), qGreen(src) + mul(qGreen(dst)),
                 qBlue(src) + mul(qBlue(dst)), qAlpha(src) + mul(qAlpha(dst)));
}

}  // namespace

void ShapePainter::paintSpans(RenderSurface& s, const std::vector<AliasedRasterizer::Span>& spans,
                              const FillStyle& style, const QTransform& device,
                              const RenderState& state) {
    QImage& image = *s.image;
    auto solid = [&](QColor c) {
        const QRgb px = qPremultiply(c.rgba());
        if (qAlpha(px) == 0) {
            return;
        }
        for (const auto& span : spans) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(span.y));
            if (qAlpha(px) == 255) {
                std::fill(line + span.x0, line + span.x1, px);
            } else {
                for (int x = span.x0; x < span.x1; ++x) {
                    line[x] = over(px, line[x]);
                }
            }
        }
    };
    if (state.maskMode) {
        solid(Qt::white);
        return;
    }
    if (style.type == FillStyle::Solid) {
        solid(state.lut.color(style.color));
        return;
    }
    QImage bitmapImage;
    const QTransform m = toQt(style.matrix);
    if (style.isBitmap()) {
        bitmapImage = cache_.transformedBitmap(style.bitmapId, state.lut);
        if (bitmapImage.isNull()) {
            solid(QColor(0xc0, 0xc0, 0xc0));  // placeholder for a missing bitmap
            return;
        }
        if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            return;
        }
    } else if (!style.isGradient()) {
        return;
    }
    // Gradients and bitmaps are drawn over the spans' bounds first, then copied where the
    // spans cover.
    int top = spans.front().y;
    int bottom = spans.back().y;
    int left = spans.front().x0;
    int right = spans.front().x1;
    for (const auto& span : spans) {
        left = std::min(left, span.x0);
        right = std::max(right, span.x1);
    }
    const QRect box(QPoint(left, top), QPoint(right - 1, bottom));
    QImage source(box.size(), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::transparent);
    {
        QPainter p(&source);
        const QTransform toSource = device * QTransform::fromTranslate(-box.left(), -box.top());
        if (style.isGradient()) {
            QBrush brush = gradientBrush(style, state.lut);
            brush.setTransform(brush.transform() * toSource);
            p.fillRect(source.rect(), brush);
        } else if (style.bitmapRepeats()) {
            QBrush brush(bitmapImage);
            brush.setTransform(m * toSource);
            p.fillRect(source.rect(), brush);
        } else {
            p.setTransform(m * toSource);
            p.drawImage(0, 0, bitmapImage);
        }
    }
    for (const auto& span : spans) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(span.y));
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(span.y - top));
        for (int x = span.x0; x < span.x1; ++x) {
            const QRgb px = from[x - left];
            if (qAlpha(px) == 255) {
                line[x] = px;
            } else if (qAlpha(px) != 0) {
                line[x] = over(px, line[x]);
            }
        }
    }
}

QPen ShapePainter::strokePen(const LineStyle& style, const RenderState& state) const {
    QPen pen(Qt::black, style.width);
    const double scale = transformScale(state.xform);
    const bool fixedWidth = style.noHScale || style.noVScale;
    const double deviceWidth = fixedWidth ? style.width / 20.0 * stageScale_ : style.width * scale;
    if (style.width == 0 || deviceWidth < 1.0) {
        pen.setWidthF(1.0);
        pen.setCosmetic(true);  // hairlines and thin lines: one pixel wide
    } else if (fixedWidth) {
        pen.setWidthF(deviceWidth);
        pen.setCosmetic(true);
    }
    switch (style.startCap) {
        case LineStyle::NoCap:
            pen.setCapStyle(Qt::FlatCap);
            break;
        case LineStyle::SquareCap:
            pen.setCapStyle(Qt::SquareCap);
            break;
        default:
            pen.setCapStyle(Qt::RoundCap);
            break;
    }
    switch (style.join) {
        case LineStyle::BevelJoin:
            pen.setJoinStyle(Qt::BevelJoin);
            break;
        case LineStyle::MiterJoin:
            pen.setJoinStyle(Qt::SvgMiterJoin);
            pen.setMiterLimit(std::max(1.0, style.miterLimit));
            break;
        default:
            pen.setJoinStyle(Qt::RoundJoin);
            break;
    }
    return pen;
}

void ShapePainter::strokePath(RenderSurface& s, const QPainterPath& path, const LineStyle& style,
                              const RenderState& state) {
    QBrush brush;
    if (state.maskMode) {
        brush = QBrush(Qt::white);
    } else if (style.fill && style.fill->isGradient()) {
        brush = gradientBrush(*style.fill, state.lut);
    } else {
        const QColor c = state.lut.color(style.color);
        if (c.alpha() == 0) {
            return;
        }
        brush = QBrush(c);
    }
    QPen pen = strokePen(style, state);
    pen.setBrush(brush);
    s.painter->strokePath(path, pen);
}

void ShapePainter::strokeAliased(RenderSurface& s, const Polygons& line, const QPen& pen,
                                 const LineStyle& style, const RenderState& state) {
    // The line's chords are outlined and the outline filled like any fill, so both follow
    // the same pixel-centre rule. A scaled line is outlined in the shape's own units (its
    // width follows the transform in each direction); hairlines and lines of fixed width are
    // outlined on the device.
    const QTransform device = s.deviceTransform(state.xform);
    const bool onDevice = pen.isCosmetic();
    QPainterPath centre;
    std::uint32_t start = 0;
    for (const Polygons::Run& run : line.runs) {
        auto at = [&](std::uint32_t i) {
            return onDevice ? device.map(line.points[i]) : line.points[i];
        };
        centre.moveTo(at(start));
        for (std::uint32_t i = start + 1; i < run.end; ++i) {
            centre.lineTo(at(i));
        }
        start = run.end;
    }
    QPainterPathStroker stroker(pen);
    stroker.setWidth(onDevice ? pen.widthF() : style.width);
    AliasedRasterizer r(s.image->rect());
    const QPainterPath outline = stroker.createStroke(centre);
    r.addPath(onDevice ? outline : device.map(outline));
    const auto spans = r.spans(true);
    if (spans.empty()) {
        return;
    }
    FillStyle paint;
    paint.color = style.color;
    if (style.fill) {
        paint = *style.fill;
    }
    paintSpans(s, spans, paint, device, state);
}

}  // namespace zd::engine
