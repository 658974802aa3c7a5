#pragma once

#include <QImage>
#include <QMargins>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <span>

#include "engine/swf/FilterRecords.h"

namespace zd::engine {

struct BitmapTag;

// Where the renderer hands work to the bitmap decoder, the filters and the blend modes. An
// empty hook falls back: a missing bitmap shows a placeholder, filters are left out, layers
// are composited normally.
struct RenderHooks {
    // A bitmap character as premultiplied ARGB; a null image when it cannot be decoded.
    // jpegTables: the movie's JPEGTables body (DefineBits needs it), possibly empty.
    std::function<QImage(const BitmapTag& tag, std::span<const std::uint8_t> jpegTables)>
        decodeBitmap;
    // How far filters reach beyond what they filter, in device pixels at that scale (device
    // pixels per stage pixel).
    std::function<QMargins(const FilterList& filters, double scale)> filterMargins;
    // Applies filters to a premultiplied layer in place (the layer already has the margins
    // around its content).
    std::function<void(QImage& layer, const FilterList& filters, double scale)> applyFilters;
    // Composites a premultiplied layer onto the backdrop at `at` with a blend mode (the
    // PlaceObject3 value, 2 to 14).
    std::function<void(QImage& backdrop, QPoint at, const QImage& layer, std::uint8_t mode)> blend;
};

}  // namespace zd::engine
