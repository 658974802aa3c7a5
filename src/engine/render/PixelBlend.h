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

// Each channel times a / 255, rounded as the painter does, two channels per 16 bits at once.
inline QRgb scale(QRgb c, unsigned a) {
    unsigned rb = (c & 0xff00ff) * a;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    unsigned ag = ((c >> 8) & 0xff00ff) * a;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return ag | rb;
}

// Channel by channel a + b, stopping at 255.
inline unsigned addSaturated(unsigned a, unsigned b) {
    unsigned rb = (a & 0xff00ff) + (b & 0xff00ff);
    unsigned ag = ((a >> 8) & 0xff00ff) + ((b >> 8) & 0xff00ff);
    const unsigned rbOver = rb & 0x1000100;
    const unsigned agOver = ag & 0x1000100;
    rb = (rb | (rbOver - (rbOver >> 8))) & 0xff00ff;
    ag = (ag | (agOver - (agOver >> 8))) & 0xff00ff;
    return rb | ag << 8;
}

// src (premultiplied, coverage applied) over dst; channels that would pass 255 (only for
// colours that are not truly premultiplied) stop there.
inline QRgb over(QRgb src, QRgb dst) {
    return addSaturated(src, scale(dst, 255 - (src >> 24)));
}

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

// The same routines for the few pixels along an edge, without a call for the shortest.
inline void solidCellsShort(QRgb* dst, const std::uint8_t* coverage, int n, QRgb colour) {
    if (n > 4) {
        solidCells(dst, coverage, n, colour);
        return;
    }
    const bool opaque = qAlpha(colour) == 255;
    for (int i = 0; i < n; ++i) {
        const unsigned c = coverage[i];
        if (c == 255 && opaque) {
            dst[i] = colour;  // what lay there does not show: no need to read it
        } else if (c != 0) {
            dst[i] = over(scale(colour, c), dst[i]);
        }
    }
}

inline void solidRunShort(QRgb* dst, int n, QRgb colour, std::uint8_t coverage) {
    if (n > 4) {
        solidRun(dst, n, colour, coverage);
        return;
    }
    const QRgb src = scale(colour, coverage);
    for (int i = 0; i < n; ++i) {
        dst[i] = qAlpha(src) == 255 ? src : over(src, dst[i]);
    }
}

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
