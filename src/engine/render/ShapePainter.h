#pragma once

#include <QPainterPath>
#include <memory>
#include <optional>
#include <vector>

#include "engine/render/CoverageRasterizer.h"
#include "engine/render/Rasterizer.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/ShadeCache.h"
#include "engine/render/ShapePaths.h"
#include "engine/render/SpanShaders.h"

namespace zd::engine {

class CharacterCache;

// Paints shapes: their fills and strokes, solid, gradient or bitmap, antialiased through the
// coverage rasterizer or aliased through the pixel-centre rasterizer, lines outlined by our
// stroker and gradients and bitmaps shaded per span.
class ShapePainter {
  public:
    ShapePainter(CharacterCache& cache, const RenderOptions& options)
        : cache_(cache), options_(options) {
        // Edges fall on quarter pixels, as a 4 by 4 sampling renderer places them: an edge
        // a twip off a pixel's side leaves it whole rather than faintly tinted.
        coverage_.setVertexGrid(4);
    }

    // Device pixels per stage pixel of the frame being drawn (fixed-width lines follow it).
    void setStageScale(double scale) { stageScale_ = scale; }

    void drawShapePaths(RenderSurface& s, const ShapePaths& paths, const RenderState& state);
    // Aliased drawing: the pixels whose centres the outline covers, painted with the style.
    // device maps the outline (and the style's matrix) into the surface's image.
    void fillAliased(RenderSurface& s, const Polygons& outline, bool nonZero,
                     const QTransform& device, const FillStyle& style, const RenderState& state,
                     const std::optional<QRect>& clip = std::nullopt);

    // A glyph's outline (winding rule) mapped by glyph, in one colour, antialiased.
    void fillGlyph(RenderSurface& s, const QPainterPath& outline, const QTransform& glyph,
                   const QColor& colour);

  private:
    // Antialiased drawing: the outline in coverage_ painted with the style. device maps the
    // style's matrix into the surface's image.
    void fillCoverage(RenderSurface& s, bool nonZero, const FillStyle& style,
                      const QTransform& device, const RenderState& state);
    // A line outlined by our stroker and filled like any fill.
    void strokeLine(RenderSurface& s, const ShapePaths::Stroke& line, const QTransform& device,
                    const RenderState& state);
    // The shader for a gradient or bitmap fill; null for one painted in one colour, which
    // solid then holds (premultiplied; transparent for nothing at all).
    std::unique_ptr<SpanShader> fillShader(const FillStyle& style, const QTransform& device,
                                           const RenderState& state, QRgb& solid, bool smooth);
    void paintSpans(RenderSurface& s, const std::vector<AliasedRasterizer::Span>& spans,
                    const FillStyle& style, const QTransform& device, const RenderState& state);

    CharacterCache& cache_;
    const RenderOptions& options_;
    double stageScale_ = 1.0;
    CoverageRasterizer coverage_;  // its buffers kept between fills
    ShadeCache shades_;
};

}  // namespace zd::engine
