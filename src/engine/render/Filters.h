#pragma once

// The bitmap filters of PlaceObject3 (FILTERLIST): their records, how far they grow an
// object's picture, and applying them to a premultiplied image.
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
#include <array>
#include <cstdint>
#include <variant>
#include <vector>

#include "engine/swf/Records.h"

namespace zd::engine {

class ByteReader;

// Gradient of the gradient glow and gradient bevel filters: up to 255 stops, ratios 0..255.
struct FilterGradientStop {
    std::uint8_t ratio = 0;
    Rgba color;
    bool operator==(const FilterGradientStop&) const = default;
};

struct BlurFilter {
    double blurX = 0;
    double blurY = 0;
    int passes = 1;  // the "quality"; 0 leaves the image as it is
    bool operator==(const BlurFilter&) const = default;
};

// compositeSource false is the "hide object" option: only the shadow shows.
struct DropShadowFilter {
    Rgba color;
    double blurX = 0;
    double blurY = 0;
    double angle = 0;     // radians; 0 puts the shadow to the right, pi/2 below
    double distance = 0;  // stage pixels
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    int passes = 1;
    bool operator==(const DropShadowFilter&) const = default;
};

struct GlowFilter {
    Rgba color;
    double blurX = 0;
    double blurY = 0;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    int passes = 1;
    bool operator==(const GlowFilter&) const = default;
};

// The record's first colour is the highlight (the lit side, opposite the angle) and the
// second the shadow: the reverse of the field names in the format's table, as movies show.
// inner: inside the object only; onTop (with inner false): "full", both sides; neither: outer.
struct BevelFilter {
    Rgba highlight;
    Rgba shadow;
    double blurX = 0;
    double blurY = 0;
    double angle = 0;
    double distance = 0;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
    bool operator==(const BevelFilter&) const = default;
};

// Glow (or, with a distance, a shadow) whose strength picks its colour from the gradient:
// ratio 0 where there is no glow, 255 at full.
struct GradientGlowFilter {
    std::vector<FilterGradientStop> gradient;
    double blurX = 0;
    double blurY = 0;
    double angle = 0;
    double distance = 0;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
    bool operator==(const GradientGlowFilter&) const = default;
};

// Bevel coloured from the gradient: ratio 0 on the highlight side, 128 flat, 255 in shadow.
struct GradientBevelFilter {
    std::vector<FilterGradientStop> gradient;
    double blurX = 0;
    double blurY = 0;
    double angle = 0;
    double distance = 0;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
    bool operator==(const GradientBevelFilter&) const = default;
};

// With preserveAlpha the matrix works on straight colour and each pixel keeps its alpha;
// without it, on all four premultiplied channels.
struct ConvolutionFilter {
    int matrixX = 0;
    int matrixY = 0;
    float divisor = 1;
    float bias = 0;
    std::vector<float> matrix;  // matrixX * matrixY, row by row
    Rgba defaultColor{0, 0, 0, 0};
    bool clamp = true;  // edge pixels repeat outside the image; else defaultColor
    bool preserveAlpha = true;
    bool operator==(const ConvolutionFilter&) const = default;
};

// Rows R, G, B, A of five values each (the last of each row an offset in 0..255 units),
// applied to unpremultiplied colour; results saturate.
struct ColorMatrixFilter {
    std::array<float, 20> matrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    bool operator==(const ColorMatrixFilter&) const = default;
};

// In the order of the FilterID values 0..7.
using Filter =
    std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
                 ConvolutionFilter, ColorMatrixFilter, GradientBevelFilter>;
using FilterList = std::vector<Filter>;

// Reads a FILTERLIST (count byte first). An unknown FilterID ends the list: what follows
// cannot be found, so *complete (when given) turns false, as it does when the data runs out
// (then in.ok() is false too). The filters read before are returned either way.
FilterList readFilterList(ByteReader& in, bool* complete = nullptr);

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
