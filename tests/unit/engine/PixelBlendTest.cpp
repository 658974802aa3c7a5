// Blending and coverage routines: every instruction set the processor has gives the plain
// routines' pixels, which round as the painter does.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>

#include "engine/render/PixelBlend.h"

using namespace zd::engine;

namespace {

// Random premultiplied colours, a share of them opaque or transparent.
std::vector<QRgb> colours(std::mt19937& random, int n) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<QRgb> out;
    for (int i = 0; i < n; ++i) {
        const int kind = byte(random) % 4;
        const int a = kind == 0 ? 255 : kind == 1 ? 0 : byte(random);
        out.push_back(qPremultiply(qRgba(byte(random), byte(random), byte(random), a)));
    }
    return out;
}

std::vector<std::uint8_t> coverages(std::mt19937& random, int n) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> out;
    for (int i = 0; i < n; ++i) {
        const int kind = byte(random) % 4;
        out.push_back(static_cast<std::uint8_t>(kind == 0 ? 255 : kind == 1 ? 0 : byte(random)));
    }
    return out;
}

}  // namespace

TEST(PixelBlend, EveryInstructionSetGivesThePlainRoutinesPixels) {
    const std::vector<blend::Routines> sets = blend::availableRoutines();
    ASSERT_FALSE(sets.empty());
    EXPECT_STREQ(sets.back().name, "scalar");
    EXPECT_STREQ(blend::instructionSet(), sets.front().name) << "the widest is used";
    const blend::Routines& plain = sets.back();
    std::mt19937 random(3);
    // Lengths around the widths of four and eight pixels, and longer runs.
    for (const int n : {1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 33, 250}) {
        for (int round = 0; round < 20; ++round) {
            const std::vector<QRgb> dst = colours(random, n);
            const std::vector<QRgb> src = colours(random, n);
            const std::vector<std::uint8_t> cover = coverages(random, n);
            const QRgb colour = src.front();
            const std::uint8_t c = cover.front();
            for (const blend::Routines& set : sets) {
                std::vector<QRgb> want = dst;
                std::vector<QRgb> got = dst;
                plain.solidCells(want.data(), cover.data(), n, colour);
                set.solidCells(got.data(), cover.data(), n, colour);
                EXPECT_EQ(got, want) << set.name << " solid cells " << n;
                want = got = dst;
                plain.solidRun(want.data(), n, colour, c);
                set.solidRun(got.data(), n, colour, c);
                EXPECT_EQ(got, want) << set.name << " solid run " << n;
                want = got = dst;
                plain.shadedCells(want.data(), src.data(), cover.data(), n);
                set.shadedCells(got.data(), src.data(), cover.data(), n);
                EXPECT_EQ(got, want) << set.name << " shaded cells " << n;
                want = got = dst;
                plain.shadedRun(want.data(), src.data(), n, c);
                set.shadedRun(got.data(), src.data(), n, c);
                EXPECT_EQ(got, want) << set.name << " shaded run " << n;
            }
        }
    }
}

TEST(PixelBlend, CoverageFromCellsByEitherRuleAlike) {
    const std::vector<blend::Routines> sets = blend::availableRoutines();
    std::mt19937 random(9);
    // Cells adding up to several windings either way, and sums wrapping round.
    std::uniform_int_distribution<std::int32_t> cell(-3 * 65536, 3 * 65536);
    for (const int n : {1, 4, 6, 8, 13, 64, 301}) {
        for (const bool nonZero : {true, false}) {
            for (const std::int32_t start : {0, 70000, -200000, INT32_MAX - 10}) {
                std::vector<std::int32_t> cells(static_cast<std::size_t>(n));
                for (std::int32_t& c : cells) {
                    c = cell(random);
                }
                std::vector<std::int32_t> plainCells = cells;
                std::vector<std::uint8_t> want(static_cast<std::size_t>(n));
                const std::int32_t wantSum =
                    sets.back().coverageRun(plainCells.data(), n, start, want.data(), nonZero);
                for (const blend::Routines& set : sets) {
                    std::vector<std::int32_t> mine = cells;
                    std::vector<std::uint8_t> got(static_cast<std::size_t>(n));
                    EXPECT_EQ(set.coverageRun(mine.data(), n, start, got.data(), nonZero), wantSum)
                        << set.name;
                    EXPECT_EQ(got, want) << set.name << " " << n << " " << nonZero;
                    EXPECT_EQ(mine, std::vector<std::int32_t>(static_cast<std::size_t>(n), 0))
                        << "cells are cleared";
                }
            }
        }
    }
    // What the values mean: a whole pixel is 65536; the even-odd rule folds every second
    // winding; more than a whole winding stops at full by the non-zero rule; the share of a
    // pixel becomes that share of 255, rounded (three quarters is 191, not 192).
    std::int32_t cells[5] = {32768, 32768, 65536, -65536 - 16384, -65536};
    std::uint8_t c[5];
    blend::coverageRun(cells, 5, 0, c, false);
    EXPECT_EQ(c[0], 128);
    EXPECT_EQ(c[1], 255);
    EXPECT_EQ(c[2], 0) << "two windings: outside by the even-odd rule";
    EXPECT_EQ(c[3], 191);
    EXPECT_EQ(c[4], 64);
    std::int32_t eighth[2] = {8192, 65536 - 8192 - 256};
    blend::coverageRun(eighth, 2, 0, c, true);
    EXPECT_EQ(c[0], 32) << "31.875 rounds up";
    EXPECT_EQ(c[1], 254) << "all but a 256th is not yet full";
    std::int32_t again[3] = {65536, 65536, -3 * 65536};
    blend::coverageRun(again, 3, 0, c, true);
    EXPECT_EQ(c[0], 255);
    EXPECT_EQ(c[1], 255);
    EXPECT_EQ(c[2], 255) << "minus one winding covers too";
}

TEST(PixelBlend, BlendsRoundAsThePainterDoes) {
    // A translucent colour over opaque pixels at every coverage: within one of the painter's
    // antialiased source-over (which rounds each product the same way).
    QImage ours(256, 1, QImage::Format_ARGB32_Premultiplied);
    QImage theirs = ours;
    ours.fill(qRgb(30, 160, 220));
    theirs.fill(qRgb(30, 160, 220));
    const QRgb colour = qPremultiply(qRgba(200, 40, 90, 170));
    std::vector<std::uint8_t> cover(256);
    for (int i = 0; i < 256; ++i) {
        cover[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    blend::solidCells(reinterpret_cast<QRgb*>(ours.scanLine(0)), cover.data(), 256, colour);
    for (int i = 0; i < 256; ++i) {
        QPainter p(&theirs);
        p.setOpacity(i / 255.0);
        p.fillRect(QRect(i, 0, 1, 1), QColor::fromRgba(qRgba(200, 40, 90, 170)));
    }
    for (int i = 0; i < 256; ++i) {
        const QRgb a = ours.pixel(i, 0);
        const QRgb b = theirs.pixel(i, 0);
        EXPECT_NEAR(qRed(a), qRed(b), 1) << i;
        EXPECT_NEAR(qGreen(a), qGreen(b), 1) << i;
        EXPECT_NEAR(qBlue(a), qBlue(b), 1) << i;
    }
    EXPECT_EQ(ours.pixel(0, 0), qRgb(30, 160, 220)) << "no coverage, no change";
}
