#pragma once

// A flash.filters object as scripts see it, with the coercions its properties apply, and the
// conversion to and from the filter records the renderer draws. Plain C++.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/swf/FilterRecords.h"

namespace zd::avm1 {

class BitmapPixels;

enum class FilterKind : std::uint8_t {
    Base,
    Bevel,
    Blur,
    ColorMatrix,
    Convolution,
    DisplacementMap,
    DropShadow,
    Glow,
    GradientBevel,
    GradientGlow,
};

// Every field any filter class has; each kind uses its own. Colours are 0xRRGGBB, alphas
// 0..255 (scripts read them divided by 255), angles in degrees.
struct FilterValues {
    FilterKind kind = FilterKind::Base;

    double distance = 4;
    double angle = 45;
    std::uint32_t color = 0;
    std::uint8_t alpha = 255;
    std::uint32_t highlightColor = 0xffffff;
    std::uint8_t highlightAlpha = 255;
    std::uint32_t shadowColor = 0;
    std::uint8_t shadowAlpha = 255;
    double blurX = 4;
    double blurY = 4;
    double strength = 1;
    int quality = 1;
    bool inner = false;
    bool knockout = false;
    bool hideObject = false;
    std::string type = "inner";

    // The gradient filters keep what was written past the stop count: a later, longer colour
    // list shows those alphas and ratios again.
    std::vector<std::uint32_t> colors;
    std::vector<std::uint8_t> alphas;
    std::vector<std::uint8_t> ratios;
    std::size_t stops = 0;

    std::array<double, 20> colorMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};

    int matrixX = 0;
    int matrixY = 0;
    std::vector<double> matrix;
    double divisor = 1;
    double bias = 0;
    bool preserveAlpha = true;
    bool clamp = true;

    std::shared_ptr<BitmapPixels> mapBitmap;
    int mapPointX = 0;
    int mapPointY = 0;
    int componentX = 0;
    int componentY = 0;
    double scaleX = 0;
    double scaleY = 0;
    std::string mode = "wrap";

    // A filter of that class as its constructor makes it without arguments.
    static FilterValues defaults(FilterKind kind);

    // The setters' coercions.
    static std::uint32_t toColor(double v);
    // Truncated to the 255 steps (0.5 -> 127); NaN reads as opaque.
    static std::uint8_t toAlpha(double v);
    // A gradient's alphas round instead (0.5 -> 128).
    static std::uint8_t toStopAlpha(double v);
    static std::uint8_t toRatio(double v);
    static double toBlur(double v);
    static double toStrength(double v);
    static int toQuality(double v);
    static double toAngle(double v);
    static std::string toType(const std::string& v);
    static std::string toMode(const std::string& v);
    static int toMatrixSize(double v);
    static double toScale(double v);

    // The gradient lists: colours set the stop count (at most 16) and size the other two;
    // alphas fill the stops there are; ratios may only shorten the list.
    void setColors(const std::vector<double>& v);
    void setAlphas(const std::vector<double>& v);
    void setRatios(const std::vector<double>& v);
    std::vector<std::uint32_t> shownColors() const;
    std::vector<std::uint8_t> shownAlphas() const;
    std::vector<std::uint8_t> shownRatios() const;

    // The convolution matrix never holds fewer values than matrixX * matrixY.
    void setMatrix(std::vector<double> v);
    void setMatrixX(int v);
    void setMatrixY(int v);
};

// The record the renderer draws for a script's filter; none for the kinds it has no record
// for (the displacement map, the base class).
std::optional<engine::Filter> toFilterRecord(const FilterValues& f);
// The filter as a clip's filters read it back: the angle as the display keeps it (radians to
// nine decimals, so 45 comes back a hair under) and a gradient glow set outside read as inner.
FilterValues keptByDisplay(FilterValues f);
// A script's view of a record placed by the movie.
FilterValues fromFilterRecord(const engine::Filter& f);

}  // namespace zd::avm1
