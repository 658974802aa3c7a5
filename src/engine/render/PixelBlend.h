#pragma once

#include <QRgb>
#include <cstdint>
#include <vector>

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

// Antialiasing coverage from accumulated cells: each cell holds the change its edges make to
// the winding integrated over its pixel, 65536 to a whole pixel. The running sum from sum
// through cell i gives coverage[i] (0-255: its absolute value by the non-zero rule, folded
// every second whole winding by the even-odd rule). The cells are cleared; the sum after the
// last is returned. Sums wrap round rather than overflow.
std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum, std::uint8_t* coverage,
                         bool nonZero);

// Which routines are in use: "avx2", "sse2" or "scalar".
const char* instructionSet();

// One instruction set's routines.
struct Routines {
    void (*solidCells)(QRgb*, const std::uint8_t*, int, QRgb);
    void (*solidRun)(QRgb*, int, QRgb, std::uint8_t);
    void (*shadedCells)(QRgb*, const QRgb*, const std::uint8_t*, int);
    void (*shadedRun)(QRgb*, const QRgb*, int, std::uint8_t);
    std::int32_t (*coverageRun)(std::int32_t*, int, std::int32_t, std::uint8_t*, bool);
    const char* name;
};
// The routines of every instruction set this processor has, widest first; "scalar" last.
std::vector<Routines> availableRoutines();

// The plain routines, for checking the others against.
namespace scalar {
void solidCells(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour);
void solidRun(QRgb* dst, int n, QRgb colour, std::uint8_t coverage);
void shadedCells(QRgb* dst, const QRgb* src, const std::uint8_t* coverage, int n);
void shadedRun(QRgb* dst, const QRgb* src, int n, std::uint8_t coverage);
std::int32_t coverageRun(std::int32_t* cells, int n, std::int32_t sum, std::uint8_t* coverage,
                         bool nonZero);
}  // namespace scalar

}  // namespace zd::engine::blend
