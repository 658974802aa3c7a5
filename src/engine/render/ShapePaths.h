#pragma once

#include <QPainterPath>
#include <QRectF>
#include <optional>
#include <vector>

#include "engine/render/CoverageRasterizer.h"
#include "engine/render/Rasterizer.h"
#include "engine/swf/Shapes.h"

namespace zd::engine {

// A shape's outlines ready to draw, in twips: per style group (drawn in order), the region of
// each fill style and the strokes of each line style.
struct ShapePaths {
    struct Fill {
        FillStyle style;
        QPainterPath path;
        // The path with its curves cut into chords, made when first asked for.
        const Polygons& polygons() const;
        mutable std::optional<Polygons> flat;
        mutable RasterSlot raster;  // its last antialiased rasterisation
    };
    struct Stroke {
        LineStyle style;
        QPainterPath path;
        const Polygons& polygons() const;
        mutable std::optional<Polygons> flat;
        mutable RasterSlot raster;
    };
    struct Group {
        std::vector<Fill> fills;
        std::vector<Stroke> strokes;
    };
    std::vector<Group> groups;
    QRectF bounds;  // of the edges, twips
    // Everything the fills cover, one path (masks, hit areas).
    QPainterPath coverage() const;
};

// Builds the fill regions from the edge records: each edge bounds fill0 on one side and
// fill1 on the other, so a fill style's region is the set of its edges (those of fill0
// reversed) joined end to start into closed outlines.
ShapePaths buildShapePaths(const ShapeDefinition& shape);

}  // namespace zd::engine
