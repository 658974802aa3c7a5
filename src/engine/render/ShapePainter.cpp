#include "engine/render/ShapePainter.h"

#include <algorithm>
#include <cmath>

#include "engine/render/CharacterCache.h"
#include "engine/render/Stroker.h"

namespace zd::engine {

namespace {

// How far glyph outlines may stray from their curves, in device pixels.
constexpr double kGlyphTolerance = 0.02;

}  // namespace

void ShapePainter::drawShapePaths(RenderSurface& s, const ShapePaths& paths,
                                  const RenderState& state) {
    const QTransform device = s.deviceTransform(state.xform);
    for (const ShapePaths::Group& g : paths.groups) {
        for (const ShapePaths::Fill& f : g.fills) {
            const bool nonZero = f.path.fillRule() == Qt::WindingFill;
            if (!options_.antialias) {
                // Chords cut once per shape; the rasterizer keeps only what falls on the image.
                fillAliased(s, f.polygons(), nonZero, device, f.style, state);
                continue;
            }
            if (!coverage_.reset(s.image->rect(), f.raster, device, nonZero)) {
                coverage_.addPath(f.path, device);
            }
            fillCoverage(s, nonZero, f.style, device, state);
        }
        if (state.maskMode) {
            continue;  // masks are made of the fills alone
        }
        for (const ShapePaths::Stroke& l : g.strokes) {
            strokeLine(s, l, device, state);
        }
    }
}

std::unique_ptr<SpanShader> ShapePainter::fillShader(const FillStyle& style,
                                                     const QTransform& device,
                                                     const RenderState& state, QRgb& solid,
                                                     bool smooth) {
    solid = 0;
    const QTransform m = toQt(style.matrix);
    if (style.isGradient()) {
        std::vector<Rgba> colours;
        colours.reserve(style.gradient.records.size());
        for (const GradientRecord& r : style.gradient.records) {
            colours.push_back(state.lut.apply(r.color));
        }
        auto shader = std::make_unique<GradientShader>(style, colours, m * device);
        if (!shader->valid() || std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            solid = shader->lastColour();  // squashed flat: its last colour throughout
            return nullptr;
        }
        return shader;
    }
    if (style.isBitmap()) {
        const QImage image = cache_.transformedBitmap(style.bitmapId, state.lut);
        if (image.isNull()) {
            solid = qPremultiply(qRgb(0xc0, 0xc0, 0xc0));  // placeholder for a missing bitmap
            return nullptr;
        }
        if (std::abs(m.determinant()) < 1e-12 || !sane(m)) {
            return nullptr;
        }
        auto shader = std::make_unique<BitmapShader>(image, m * device, style.bitmapRepeats(),
                                                     smooth && style.bitmapSmoothed());
        return shader->valid() ? std::move(shader) : nullptr;
    }
    if (style.type == FillStyle::Solid) {
        solid = qPremultiply(state.lut.color(style.color).rgba());
    }
    return nullptr;
}

void ShapePainter::fillCoverage(RenderSurface& s, bool nonZero, const FillStyle& style,
                                const QTransform& device, const RenderState& state) {
    if (state.maskMode) {
        coverage_.fill(*s.image, nonZero, qRgba(255, 255, 255, 255));
        return;
    }
    QRgb solid = 0;
    if (const auto shader =
            shades_.wrap(fillShader(style, device, state, solid, true), s.image->height())) {
        coverage_.fill(*s.image, nonZero, *shader);
    } else {
        coverage_.fill(*s.image, nonZero, solid);  // nothing when transparent
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
    QRgb flat = 0;
    const auto shader = fillShader(style, device, state, flat, false);
    if (!shader) {
        solid(QColor::fromRgba(qUnpremultiply(flat)));
        return;
    }
    std::vector<QRgb> colours;
    for (const auto& span : spans) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(span.y));
        colours.resize(static_cast<std::size_t>(span.x1 - span.x0));
        shader->shade(span.x0, span.y, span.x1 - span.x0, colours.data());
        for (int x = span.x0; x < span.x1; ++x) {
            const QRgb px = colours[static_cast<std::size_t>(x - span.x0)];
            if (qAlpha(px) == 255) {
                line[x] = px;
            } else if (qAlpha(px) != 0) {
                line[x] = over(px, line[x]);
            }
        }
    }
}

void ShapePainter::strokeLine(RenderSurface& s, const ShapePaths::Stroke& line,
                              const QTransform& device, const RenderState& state) {
    FillStyle paint;
    paint.color = line.style.color;
    if (line.style.fill) {
        paint = *line.style.fill;
    } else if (state.lut.color(line.style.color).alpha() == 0) {
        return;
    }
    // A scaled line is outlined in the shape's own units (its width follows the transform in
    // each direction); hairlines and lines of fixed width are outlined on the device.
    const LineOutline how = lineOutline(line.style, transformScale(state.xform), stageScale_);
    const QTransform toOutline = how.onDevice ? device : QTransform();
    const QTransform fromOutline = how.onDevice ? QTransform() : device;
    // Arcs and curves stray at most a tenth of a device pixel.
    const double deviceUnits =
        std::max(std::hypot(device.m11(), device.m12()), std::hypot(device.m21(), device.m22()));
    const double tolerance = how.onDevice || !(deviceUnits > 0) ? 0.1 : 0.1 / deviceUnits;
    Stroker stroker(how.style, tolerance);
    if (!options_.antialias) {
        // From the chords cut once per shape, so both sides follow the same pixel-centre rule
        // as fills.
        const Polygons& centre = line.polygons();
        Polygons outline;
        std::vector<QPointF> points;
        std::uint32_t start = 0;
        for (const Polygons::Run& run : centre.runs) {
            points.clear();
            for (std::uint32_t i = start; i < run.end && i < centre.points.size(); ++i) {
                points.push_back(toOutline.map(centre.points[i]));
            }
            start = run.end;
            stroker.strokeLine(points, {}, run.closed && !line.style.noClose, outline);
        }
        AliasedRasterizer r(s.image->rect());
        r.addPolygons(outline, fromOutline);
        const auto spans = r.spans(true);
        if (!spans.empty()) {
            paintSpans(s, spans, paint, device, state);
        }
        return;
    }
    if (!coverage_.reset(s.image->rect(), line.raster, device, true, how.style.width)) {
        coverage_.addPolygons(stroker.stroke(line.path, toOutline, line.style.noClose),
                              fromOutline);
    }
    fillCoverage(s, true, paint, device, state);
}

void ShapePainter::fillGlyph(RenderSurface& s, const QPainterPath& outline, const QTransform& glyph,
                             const QColor& colour) {
    // Glyph outlines are defined in large font units and drawn tiny: their curves are cut on
    // the device, finely.
    coverage_.reset(s.image->rect());
    coverage_.addPath(outline, s.deviceTransform(glyph), kGlyphTolerance);
    coverage_.fill(*s.image, true, qPremultiply(colour.rgba()));
}

}  // namespace zd::engine
