#pragma once

// The records of a FILTERLIST (PlaceObject3, DefineButton2), read once where an object is
// placed; the renderer's filters draw them.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
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

// A FILTERLIST read through to its end (count byte first): the filters, or nullopt and a
// failed reader when the list is damaged (its end cannot be known, so nothing after it can).
std::optional<FilterList> readPlacedFilters(ByteReader& in);

// Filters as display objects share them: placed once, drawn every frame.
using SharedFilters = std::shared_ptr<const FilterList>;

}  // namespace zd::engine
