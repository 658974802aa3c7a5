#pragma once

#include <QRgb>
#include <cstdint>

// Source-over blending of premultiplied ARGB32 pixels weighted by antialiasing coverage
// (0-255), rounding as the painter does: src' = src x coverage, dst = src' + dst x (255 -
// alpha(src')), each product rounded to the nearest of 255ths. Every routine gives the same
// pixels whichever instructions the processor offers (AVX2, SSE2 or none); the widest is
// chosen once, at start.
namespace zd::engine::blend {

// One colour over n pixels, each with its own coverage.
void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour);
// One colour over n pixels all covered alike.
void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage);
// n colours over n pixels, each with its own coverage.
void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n);
// n colours over n pixels all covered alike.
void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage);

// Which routines are in use: "avx2", "sse2" or "scalar".
const char* instructionSet();

// The plain routines, for checking the others against.
namespace scalar {
void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour);
void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage);
void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n);
void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage);
}  // namespace scalar

}  // namespace zd::engine::blend
