#pragma once

#include <array>
#include <cstdint>

namespace zd::engine {

class ByteReader;

// Rectangle in twips (1/20 pixel).
struct Rect {
    std::int32_t xMin = 0;
    std::int32_t xMax = 0;
    std::int32_t yMin = 0;
    std::int32_t yMax = 0;

    std::int64_t width() const { return std::int64_t{xMax} - xMin; }
    std::int64_t height() const { return std::int64_t{yMax} - yMin; }
    bool operator==(const Rect&) const = default;
};

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    bool operator==(const Rgba&) const = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (translation in twips).
struct Matrix {
    double a = 1.0;  // ScaleX
    double b = 0.0;  // RotateSkew0
    double c = 0.0;  // RotateSkew1
    double d = 1.0;  // ScaleY
    std::int32_t tx = 0;
    std::int32_t ty = 0;
    bool operator==(const Matrix&) const = default;
};

// Multiply terms are 8.8 fixed point (256 = 1.0); order r, g, b, a.
struct ColorTransform {
    std::array<std::int16_t, 4> mult{256, 256, 256, 256};
    std::array<std::int16_t, 4> add{0, 0, 0, 0};
    bool operator==(const ColorTransform&) const = default;
};

Rect readRect(ByteReader& in);
Rgba readRgb(ByteReader& in);
Rgba readRgba(ByteReader& in);
Matrix readMatrix(ByteReader& in);
// CXFORM (withAlpha false) or CXFORMWITHALPHA.
ColorTransform readColorTransform(ByteReader& in, bool withAlpha);

}  // namespace zd::engine
