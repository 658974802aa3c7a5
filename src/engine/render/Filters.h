#pragma once

// The bitmap filters of PlaceObject3 (FILTERLIST): how far they grow an object's picture,
// and applying them to a premultiplied image.
//
// Sizes (blur amounts, distances) are stage pixels as stored; they are multiplied by the
// stage-to-screen scale given to filterMargins/applyFilters, so filters grow with the screen.
//
// How a caller uses them for an object with filters:
//   1. m = filterMargins(filters, sx, sy);
//   2. render the object (untransformed by filters) into a transparent premultiplied image
//      whose area is the object's screen bounds grown by m on each side;
//   3. out = applyFilters(image, filters, sx, sy): same size, same origin;
//   4. composite out at the grown bounds (with the object's blend mode).

#include <QImage>
#include <QMargins>
#include <cstdint>

#include "engine/swf/FilterRecords.h"

namespace zd::engine {

// Limits against hostile values; larger ones are clamped.
inline constexpr double kMaxFilterBlur = 255.0;  // stage pixels, as the player allows
inline constexpr int kMaxFilterPasses = 15;
inline constexpr int kMaxFilterMargin = 2048;  // screen pixels per side
inline constexpr std::int64_t kMaxConvolutionWork = std::int64_t{1} << 28;  // pixels * taps
// Per applyFilters call, in channel-pixel steps: filters past it are skipped, so a movie
// stacking huge blurs still draws each frame in bounded time.
inline constexpr std::int64_t kMaxFilterWork = std::int64_t{1} << 27;

// How far the box a blur amount gives on screen reaches either side of a pixel: the amount
// less one pixel, times the scale, halved. A fractional reach gives the two outermost taps
// that fraction of a weight (a blur of 2 at 100% weighs 1/4, 1/2, 1/4); 0 is no blur.
double blurRadius(double blur, double scale);

// How many screen pixels the filters together can paint beyond the object's own picture on
// each side, at the given stage-to-screen scale.
QMargins filterMargins(const FilterList& filters, double scaleX, double scaleY);

// Applies the filters in order to a premultiplied image (any format is converted) that
// already has filterMargins of transparent room around the object. Returns a
// Format_ARGB32_Premultiplied image of the same size. An image larger than the bitmap limit
// comes back unfiltered; filters beyond kMaxFilterWork are left out.
QImage applyFilters(const QImage& image, const FilterList& filters, double scaleX, double scaleY);

// One filter, as applyFilters does it.
QImage applyFilter(const QImage& image, const Filter& filter, double scaleX, double scaleY);

}  // namespace zd::engine
