#pragma once

#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <optional>
#include <vector>

#include "engine/render/CoverageRasterizer.h"
#include "engine/render/Rasterizer.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/ShapePaths.h"

namespace zd::engine {

class CharacterCache;

// Paints shapes: their fills and strokes, solid, gradient or bitmap, antialiased through the
// coverage rasterizer and the painter or aliased through the pixel-centre rasterizer.
class ShapePainter {
  public:
    ShapePainter(CharacterCache& cache, const RenderOptions& options)
        : cache_(cache), options_(options) {}

    // Device pixels per stage pixel of the frame being drawn (fixed-width lines follow it).
    void setStageScale(double scale) { stageScale_ = scale; }

    void drawShapePaths(RenderSurface& s, const ShapePaths& paths, const RenderState& state);
    // Aliased drawing: the pixels whose centres the outline covers, painted with the style.
    // device maps the outline (and the style's matrix) into the surface's image.
    void fillAliased(RenderSurface& s, const Polygons& outline, bool nonZero,
                     const QTransform& device, const FillStyle& style, const RenderState& state,
                     const std::optional<QRect>& clip = std::nullopt);

  private:
    void fillPath(RenderSurface& s, const QPainterPath& path, const FillStyle& style,
                  const RenderState& state);
    void strokePath(RenderSurface& s, const QPainterPath& path, const LineStyle& style,
                    const RenderState& state);
    void strokeAliased(RenderSurface& s, const Polygons& line, const QPen& pen,
                       const LineStyle& style, const RenderState& state);
    void paintSpans(RenderSurface& s, const std::vector<AliasedRasterizer::Span>& spans,
                    const FillStyle& style, const QTransform& device, const RenderState& state);
    QPen strokePen(const LineStyle& style, const RenderState& state) const;
    QBrush gradientBrush(const FillStyle& style, const ColorLut& lut) const;

    CharacterCache& cache_;
    const RenderOptions& options_;
    double stageScale_ = 1.0;
    CoverageRasterizer coverage_;  // its buffers kept between fills
};

}  // namespace zd::engine
