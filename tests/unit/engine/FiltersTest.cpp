#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>

#include "engine/render/Filters.h"
#include "engine/swf/ByteReader.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
using zd::swfwriter::BitWriter;

namespace {

constexpr QRgb kWhite = 0xffffffffu;
constexpr QRgb kRed = 0xffff0000u;
constexpr QRgb kBlue = 0xff0000ffu;
constexpr double kPi = std::numbers::pi;

QImage blank(int w = 9, int h = 9) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(0u);
    return img;
}

// A white opaque block at [x0, x1] x [y0, y1].
QImage block(int x0, int y0, int x1, int y1, int w = 9, int h = 9) {
    QImage img = blank(w, h);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            img.setPixel(x, y, kWhite);
        }
    }
    return img;
}

QRgb px(const QImage& img, int x, int y) {
    return reinterpret_cast<const QRgb*>(img.constScanLine(y))[x];
}

// Pixels set anywhere other than the listed ones.
int strayPixels(const QImage& img, std::initializer_list<QPoint> allowed) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (px(img, x, y) != 0 &&
                std::find(allowed.begin(), allowed.end(), QPoint(x, y)) == allowed.end()) {
                ++n;
            }
        }
    }
    return n;
}

void fixed16(BitWriter& w, double v) {
    w.u32(static_cast<std::uint32_t>(BitWriter::toFixed16(v)));
}
void f32(BitWriter& w, float v) {
    w.u32(std::bit_cast<std::uint32_t>(v));
}
void rgba(BitWriter& w, Rgba c) {
    w.u8(c.r);
    w.u8(c.g);
    w.u8(c.b);
    w.u8(c.a);
}

DropShadowFilter shadow(double distance, double angle) {
    DropShadowFilter f;
    f.color = {255, 0, 0, 255};
    f.distance = distance;
    f.angle = angle;
    return f;
}

}  // namespace

TEST(FilterList, EveryFilterReadsBackFromItsBytes) {
    BitWriter w;
    w.u8(8);
    // Drop shadow: inner, knockout, composite, 3 passes.
    w.u8(0);
    rgba(w, {1, 2, 3, 4});
    fixed16(w, 5.5);
    fixed16(w, 6);
    fixed16(w, 0.75);
    fixed16(w, 12);
    w.fixed8(1.5);
    w.u8(0x80 | 0x40 | 0x20 | 3);
    // Blur: 2 passes in the top five bits.
    w.u8(1);
    fixed16(w, 4);
    fixed16(w, 8);
    w.u8(2 << 3);
    // Glow: outer, composite off, 31 passes.
    w.u8(2);
    rgba(w, {9, 8, 7, 6});
    fixed16(w, 2);
    fixed16(w, 3);
    w.fixed8(2);
    w.u8(31);
    // Bevel: highlight first, on top, 15 passes.
    w.u8(3);
    rgba(w, {255, 0, 0, 255});
    rgba(w, {0, 0, 255, 128});
    fixed16(w, 1);
    fixed16(w, 2);
    fixed16(w, 0.5);
    fixed16(w, 3);
    w.fixed8(0.25);
    w.u8(0x20 | 0x10 | 15);
    // Gradient glow: two stops, colours before ratios.
    w.u8(4);
    w.u8(2);
    rgba(w, {10, 20, 30, 0});
    rgba(w, {40, 50, 60, 255});
    w.u8(0);
    w.u8(255);
    fixed16(w, 1);
    fixed16(w, 1);
    fixed16(w, 0);
    fixed16(w, 1);
    w.fixed8(1);
    w.u8(0x40 | 1);
    // Convolution 2x1 with default colour, clamp off, preserve alpha on.
    w.u8(5);
    w.u8(2);
    w.u8(1);
    f32(w, 2);
    f32(w, -1);
    f32(w, 0.5f);
    f32(w, 1.5f);
    rgba(w, {5, 6, 7, 8});
    w.u8(0x01);
    // Colour matrix.
    w.u8(6);
    for (int i = 0; i < 20; ++i) {
        f32(w, float(i) / 4);
    }
    // Gradient bevel: three stops, inner.
    w.u8(7);
    w.u8(3);
    rgba(w, {255, 255, 255, 255});
    rgba(w, {0, 0, 0, 0});
    rgba(w, {0, 0, 0, 255});
    w.u8(0);
    w.u8(128);
    w.u8(255);
    fixed16(w, 5);
    fixed16(w, 5);
    fixed16(w, kPi / 4);
    fixed16(w, 4);
    w.fixed8(1);
    w.u8(0x80 | 0x20 | 1);
    w.u8(0x0e);  // what follows the list: a blend mode byte

    ByteReader in(w.data());
    bool complete = false;
    const FilterList list = readFilterList(in, &complete);
    ASSERT_TRUE(complete);
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(in.u8(), 0x0e) << "the reader stops right after the list";

    const auto& ds = std::get<DropShadowFilter>(list[0]);
    EXPECT_EQ(ds.color, (Rgba{1, 2, 3, 4}));
    EXPECT_EQ(ds.blurX, 5.5);
    EXPECT_EQ(ds.blurY, 6);
    EXPECT_EQ(ds.angle, 0.75);
    EXPECT_EQ(ds.distance, 12);
    EXPECT_EQ(ds.strength, 1.5);
    EXPECT_TRUE(ds.inner && ds.knockout && ds.compositeSource);
    EXPECT_EQ(ds.passes, 3);

    EXPECT_EQ(std::get<BlurFilter>(list[1]), (BlurFilter{4, 8, 2}));

    const auto& gl = std::get<GlowFilter>(list[2]);
    EXPECT_EQ(gl.color, (Rgba{9, 8, 7, 6}));
    EXPECT_EQ(gl.strength, 2);
    EXPECT_FALSE(gl.inner || gl.knockout || gl.compositeSource);
    EXPECT_EQ(gl.passes, 31);

    const auto& bv = std::get<BevelFilter>(list[3]);
    EXPECT_EQ(bv.highlight, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(bv.shadow, (Rgba{0, 0, 255, 128}));
    EXPECT_EQ(bv.distance, 3);
    EXPECT_EQ(bv.strength, 0.25);
    EXPECT_TRUE(bv.onTop && bv.compositeSource && !bv.inner);
    EXPECT_EQ(bv.passes, 15);

    const auto& gg = std::get<GradientGlowFilter>(list[4]);
    ASSERT_EQ(gg.gradient.size(), 2u);
    EXPECT_EQ(gg.gradient[1].color, (Rgba{40, 50, 60, 255}));
    EXPECT_EQ(gg.gradient[1].ratio, 255);
    EXPECT_TRUE(gg.knockout);
    EXPECT_EQ(gg.passes, 1);

    const auto& cv = std::get<ConvolutionFilter>(list[5]);
    EXPECT_EQ(cv.matrixX, 2);
    EXPECT_EQ(cv.matrixY, 1);
    EXPECT_EQ(cv.divisor, 2);
    EXPECT_EQ(cv.bias, -1);
    EXPECT_EQ(cv.matrix, (std::vector<float>{0.5f, 1.5f}));
    EXPECT_EQ(cv.defaultColor, (Rgba{5, 6, 7, 8}));
    EXPECT_FALSE(cv.clamp);
    EXPECT_TRUE(cv.preserveAlpha);

    const auto& cm = std::get<ColorMatrixFilter>(list[6]);
    EXPECT_EQ(cm.matrix[19], 19.0f / 4);

    const auto& gb = std::get<GradientBevelFilter>(list[7]);
    ASSERT_EQ(gb.gradient.size(), 3u);
    EXPECT_EQ(gb.gradient[1].ratio, 128);
    EXPECT_TRUE(gb.inner && !gb.onTop);
    EXPECT_NEAR(gb.angle, kPi / 4, 1e-4);

    // Cut anywhere, the list never reads past the data and says it is incomplete.
    const auto& bytes = w.data();
    for (std::size_t n = 0; n + 1 < bytes.size(); ++n) {
        ByteReader cut(std::span(bytes.data(), n));
        bool whole = true;
        const FilterList part = readFilterList(cut, &whole);
        EXPECT_FALSE(whole) << n;
        EXPECT_LT(part.size(), 8u);
    }
}

TEST(FilterList, AnUnknownFilterEndsTheList) {
    BitWriter w;
    w.u8(3);
    w.u8(1);
    fixed16(w, 2);
    fixed16(w, 2);
    w.u8(1 << 3);
    w.u8(9);  // no such filter
    w.u8(1);
    ByteReader in(w.data());
    bool complete = true;
    const FilterList list = readFilterList(in, &complete);
    EXPECT_FALSE(complete);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<BlurFilter>(list[0]));
    // A convolution claiming a matrix larger than the data fails without allocating it.
    BitWriter big;
    big.u8(1);
    big.u8(5);
    big.u8(255);
    big.u8(255);
    f32(big, 1);
    f32(big, 0);
    ByteReader in2(big.data());
    EXPECT_TRUE(readFilterList(in2, &complete).empty());
    EXPECT_FALSE(complete);
    EXPECT_FALSE(in2.ok());
}

TEST(FilterGeometry, BlurRadiusIsHalfTheAmountLessOnePixelScaledWithTheScreen) {
    EXPECT_DOUBLE_EQ(blurRadius(3, 1), 1);
    EXPECT_DOUBLE_EQ(blurRadius(4, 1), 1.5);
    EXPECT_DOUBLE_EQ(blurRadius(2, 1), 0.5);
    EXPECT_DOUBLE_EQ(blurRadius(1, 1), 0) << "one pixel is no blur";
    EXPECT_DOUBLE_EQ(blurRadius(1, 2), 0) << "nor is it at twice the size";
    EXPECT_DOUBLE_EQ(blurRadius(2, 2), 1);
    EXPECT_DOUBLE_EQ(blurRadius(10, 2), 9);
    EXPECT_DOUBLE_EQ(blurRadius(0.5, 1), 0) << "never below none";
    EXPECT_DOUBLE_EQ(blurRadius(-5, 1), 0);
    EXPECT_DOUBLE_EQ(blurRadius(1e9, 1), 127) << "clamped to the largest blur";
    EXPECT_DOUBLE_EQ(blurRadius(255, 1e9), kMaxFilterMargin) << "and to the largest margin";
    EXPECT_DOUBLE_EQ(blurRadius(std::nan(""), 1), 0);
    EXPECT_DOUBLE_EQ(blurRadius(4, std::nan("")), 1.5) << "an unusable scale counts as 1";
}

TEST(FilterGeometry, MarginsCoverWhatTheFiltersPaint) {
    // A fractional reach still paints the next whole pixel.
    EXPECT_EQ(filterMargins({BlurFilter{4, 4, 1}}, 1, 1), QMargins(2, 2, 2, 2));
    EXPECT_EQ(filterMargins({BlurFilter{3, 3, 1}}, 1, 1), QMargins(1, 1, 1, 1));
    EXPECT_EQ(filterMargins({BlurFilter{4, 8, 3}}, 1, 1), QMargins(6, 12, 6, 12));
    EXPECT_EQ(filterMargins({BlurFilter{4, 4, 1}}, 2, 2), QMargins(3, 3, 3, 3));
    // A shadow to the right grows the right side only; below, the bottom.
    EXPECT_EQ(filterMargins({shadow(10, 0)}, 1, 1), QMargins(0, 0, 10, 0));
    const QMargins down = filterMargins({shadow(10, kPi / 2)}, 1, 2);
    EXPECT_EQ(down.bottom(), 20);
    EXPECT_EQ(down.top(), 0);
    EXPECT_LE(down.left() + down.right(), 1);
    DropShadowFilter inner = shadow(10, 0);
    inner.inner = true;
    EXPECT_EQ(filterMargins({inner}, 1, 1), QMargins());
    BevelFilter bevel;
    bevel.blurX = bevel.blurY = 4;
    bevel.distance = 2;
    EXPECT_EQ(filterMargins({bevel}, 1, 1), QMargins(4, 2, 4, 2)) << "angle 0: moved across only";
    // Filters in a row add up; colour filters add nothing; hostile sizes are capped.
    EXPECT_EQ(filterMargins({BlurFilter{4, 4, 1}, ColorMatrixFilter{}, BlurFilter{6, 6, 1}}, 1, 1),
              QMargins(5, 5, 5, 5));
    EXPECT_EQ(filterMargins({shadow(1e6, 0)}, 1, 1).right(), kMaxFilterMargin);
    EXPECT_EQ(filterMargins(FilterList(40, BlurFilter{255, 255, 15}), 1, 1).left(),
              kMaxFilterMargin);
}

TEST(BlurFilter, ASinglePixelSpreadsEvenly) {
    QImage img = blank();
    img.setPixel(4, 4, kWhite);
    const QImage one = applyFilter(img, BlurFilter{3, 3, 1}, 1, 1);
    // 255 / 3 = 85 across, 85 / 3 = 28 down: a 3x3 square of white at alpha 28.
    for (int y = 3; y <= 5; ++y) {
        for (int x = 3; x <= 5; ++x) {
            EXPECT_EQ(px(one, x, y), qRgba(28, 28, 28, 28)) << x << "," << y;
        }
    }
    EXPECT_EQ(
        strayPixels(one, {{3, 3}, {4, 3}, {5, 3}, {3, 4}, {4, 4}, {5, 4}, {3, 5}, {4, 5}, {5, 5}}),
        0);
    // A second pass spreads it to 5x5, peaked in the middle.
    const QImage two = applyFilter(img, BlurFilter{3, 3, 2}, 1, 1);
    EXPECT_EQ(qAlpha(px(two, 4, 4)), 28);
    EXPECT_EQ(qAlpha(px(two, 4, 2)), 9);
    EXPECT_EQ(qAlpha(px(two, 2, 4)), 9);
    EXPECT_EQ(qAlpha(px(two, 2, 2)), 3);
    EXPECT_EQ(qAlpha(px(two, 4, 1)), 0);
    EXPECT_EQ(qAlpha(px(two, 1, 1)), 0);
    // Only across: a horizontal line.
    const QImage across = applyFilter(img, BlurFilter{3, 0, 1}, 1, 1);
    EXPECT_EQ(px(across, 3, 4), qRgba(85, 85, 85, 85));
    EXPECT_EQ(px(across, 4, 3), 0u);
    // A fractional reach weighs the two outermost pixels by its fraction: a blur of 2 is
    // 1/4, 1/2, 1/4 and one of 4 is 1/8, 1/4, 1/4, 1/4, 1/8 (each rounded down).
    const QImage two2 = applyFilter(img, BlurFilter{2, 0, 1}, 1, 1);
    EXPECT_EQ(qAlpha(px(two2, 4, 4)), 127);
    EXPECT_EQ(qAlpha(px(two2, 3, 4)), 63);
    EXPECT_EQ(qAlpha(px(two2, 5, 4)), 63);
    EXPECT_EQ(strayPixels(two2, {{3, 4}, {4, 4}, {5, 4}}), 0);
    const QImage four = applyFilter(img, BlurFilter{0, 4, 1}, 1, 1);
    EXPECT_EQ(qAlpha(px(four, 4, 3)), 63);
    EXPECT_EQ(qAlpha(px(four, 4, 5)), 63);
    EXPECT_EQ(qAlpha(px(four, 4, 2)), 31);
    EXPECT_EQ(qAlpha(px(four, 4, 6)), 31);
    EXPECT_EQ(qAlpha(px(four, 4, 1)), 0);
    // No passes, no blur; at twice the size the window grows to 5.
    EXPECT_EQ(applyFilter(img, BlurFilter{3, 3, 0}, 1, 1), img);
    EXPECT_EQ(qAlpha(px(applyFilter(img, BlurFilter{3, 0, 1}, 2, 2), 2, 4)), 51);
}

TEST(DropShadowFilter, MovesByAngleAndDistance) {
    QImage img = blank();
    img.setPixel(2, 2, kWhite);
    const QImage right = applyFilter(img, shadow(3, 0), 1, 1);
    EXPECT_EQ(px(right, 2, 2), kWhite) << "the object stays on top";
    EXPECT_EQ(px(right, 5, 2), kRed);
    EXPECT_EQ(strayPixels(right, {{2, 2}, {5, 2}}), 0);

    const QImage down = applyFilter(img, shadow(3, kPi / 2), 1, 1);
    EXPECT_EQ(px(down, 2, 5), kRed);
    const QImage diagonal = applyFilter(img, shadow(std::sqrt(8.0), kPi / 4), 1, 1);
    EXPECT_EQ(px(diagonal, 4, 4), kRed);
    const QImage left = applyFilter(block(6, 2, 6, 2), shadow(4, kPi), 1, 1);
    EXPECT_EQ(px(left, 2, 2), kRed);
    // Distances are stage pixels: twice the screen scale, twice as far.
    EXPECT_EQ(px(applyFilter(img, shadow(3, 0), 2, 2), 8, 2), kRed);
    // The shadow moves by whole pixels, the distance rounded: half a pixel moves it one,
    // less than that leaves it under the object.
    const QImage half = applyFilter(img, shadow(0.5, 0), 1, 1);
    EXPECT_EQ(px(half, 3, 2), kRed);
    EXPECT_EQ(strayPixels(half, {{2, 2}, {3, 2}}), 0);
    const QImage under = applyFilter(img, shadow(0.4, 0), 1, 1);
    EXPECT_EQ(strayPixels(under, {{2, 2}}), 0);
    const QImage upLeft = applyFilter(img, shadow(1.6, kPi), 1, 1);
    EXPECT_EQ(px(upLeft, 0, 2), kRed) << "-1.6 rounds to -2";
}

TEST(DropShadowFilter, StrengthColourAlphaAndBlur) {
    QImage img = blank();
    img.setPixel(2, 2, kWhite);
    DropShadowFilter f = shadow(3, 0);
    f.strength = 0.5;
    EXPECT_EQ(px(applyFilter(img, f, 1, 1), 5, 2), qRgba(127, 0, 0, 127));
    f = shadow(3, 0);
    f.color.a = 128;
    EXPECT_EQ(px(applyFilter(img, f, 1, 1), 5, 2), qRgba(128, 0, 0, 128));
    f = shadow(3, 0);
    f.blurX = f.blurY = 3;
    const QImage blurred = applyFilter(img, f, 1, 1);
    EXPECT_EQ(px(blurred, 5, 2), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(blurred, 6, 3), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(blurred, 7, 2), 0u);
    // Strength saturates: 28 * 10 is full.
    f.strength = 10;
    EXPECT_EQ(px(applyFilter(img, f, 1, 1), 6, 3), kRed);
}

TEST(DropShadowFilter, KnockoutHideObjectAndInner) {
    const QImage two = block(2, 2, 3, 2);  // two pixels; the shadow overlaps the second
    const QImage plain = applyFilter(two, shadow(1, 0), 1, 1);
    EXPECT_EQ(px(plain, 3, 2), kWhite);
    EXPECT_EQ(px(plain, 4, 2), kRed);

    DropShadowFilter f = shadow(1, 0);
    f.knockout = true;  // the shadow only where the object is not
    const QImage knocked = applyFilter(two, f, 1, 1);
    EXPECT_EQ(px(knocked, 2, 2), 0u);
    EXPECT_EQ(px(knocked, 3, 2), 0u);
    EXPECT_EQ(px(knocked, 4, 2), kRed);

    f = shadow(1, 0);
    f.compositeSource = false;  // hide object: the whole shadow, nothing of the object
    const QImage hidden = applyFilter(two, f, 1, 1);
    EXPECT_EQ(px(hidden, 2, 2), 0u);
    EXPECT_EQ(px(hidden, 3, 2), kRed);
    EXPECT_EQ(px(hidden, 4, 2), kRed);

    // Inner: cast inside the object by its edge facing the light.
    const QImage square = block(2, 2, 6, 6);
    f = shadow(1, 0);
    f.inner = true;
    const QImage inner = applyFilter(square, f, 1, 1);
    EXPECT_EQ(px(inner, 2, 4), kRed);
    EXPECT_EQ(px(inner, 3, 4), kWhite);
    EXPECT_EQ(px(inner, 6, 4), kWhite);
    EXPECT_EQ(px(inner, 1, 4), 0u) << "nothing outside";
    EXPECT_EQ(px(inner, 7, 4), 0u);
    f.knockout = true;
    const QImage innerKnocked = applyFilter(square, f, 1, 1);
    EXPECT_EQ(px(innerKnocked, 2, 4), kRed);
    EXPECT_EQ(px(innerKnocked, 3, 4), 0u);
}

TEST(GlowFilter, OuterInnerAndKnockout) {
    QImage dot = blank();
    dot.setPixel(4, 4, kWhite);
    GlowFilter g;
    g.color = {255, 0, 0, 255};
    g.blurX = g.blurY = 3;
    const QImage outer = applyFilter(dot, g, 1, 1);
    EXPECT_EQ(px(outer, 4, 4), kWhite);
    EXPECT_EQ(px(outer, 3, 3), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(outer, 5, 4), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(outer, 6, 4), 0u);
    g.knockout = true;
    const QImage knocked = applyFilter(dot, g, 1, 1);
    EXPECT_EQ(px(knocked, 4, 4), 0u);
    EXPECT_EQ(px(knocked, 5, 4), qRgba(28, 0, 0, 28));

    // Inner glow on a 5x5 square: the edge column sees a third of outside across, all of it
    // in a corner's column above.
    g.knockout = false;
    g.inner = true;
    const QImage inner = applyFilter(block(2, 2, 6, 6), g, 1, 1);
    EXPECT_EQ(px(inner, 2, 4), qRgba(255, 170, 170, 255));
    EXPECT_EQ(px(inner, 2, 2), qRgba(255, 114, 114, 255));
    EXPECT_EQ(px(inner, 4, 4), kWhite);
    EXPECT_EQ(px(inner, 1, 4), 0u);
}

TEST(BevelFilter, LightAndShadowMoveByWholePixels) {
    // Distances round as a shadow's do: 0.6 and 1.4 bevel as 1 does, 1.6 as 2.
    BevelFilter b;
    b.highlight = {255, 0, 0, 255};
    b.shadow = {0, 0, 255, 255};
    b.inner = true;
    const QImage square = block(2, 2, 6, 6);
    auto at = [&](double distance) {
        b.distance = distance;
        return applyFilter(square, b, 1, 1);
    };
    const QImage one = at(1);
    const QImage two = at(2);
    EXPECT_NE(one, two);
    EXPECT_EQ(at(0.6), one);
    EXPECT_EQ(at(1.4), one);
    EXPECT_EQ(at(1.6), two);
    EXPECT_EQ(px(two, 3, 4), kRed) << "two pixels lit";
    EXPECT_EQ(px(one, 3, 4), kWhite);
}

TEST(BevelFilter, InnerOuterAndFull) {
    BevelFilter b;
    b.highlight = {255, 0, 0, 255};
    b.shadow = {0, 0, 255, 255};
    b.distance = 1;
    b.angle = 0;
    b.inner = true;
    const QImage square = block(2, 2, 6, 6);
    const QImage inner = applyFilter(square, b, 1, 1);
    EXPECT_EQ(px(inner, 2, 4), kRed) << "the lit edge, away from the angle";
    EXPECT_EQ(px(inner, 6, 4), kBlue) << "the far edge";
    EXPECT_EQ(px(inner, 4, 4), kWhite);
    EXPECT_EQ(px(inner, 1, 4), 0u);

    b.inner = false;
    const QImage outer = applyFilter(square, b, 1, 1);
    EXPECT_EQ(px(outer, 1, 4), kRed);
    EXPECT_EQ(px(outer, 7, 4), kBlue);
    EXPECT_EQ(px(outer, 2, 4), kWhite) << "the object stays over an outer bevel";
    b.knockout = true;
    const QImage outerKnocked = applyFilter(square, b, 1, 1);
    EXPECT_EQ(px(outerKnocked, 2, 4), 0u);
    EXPECT_EQ(px(outerKnocked, 1, 4), kRed);

    b.knockout = false;
    b.onTop = true;  // full: both sides, over the object
    const QImage full = applyFilter(square, b, 1, 1);
    EXPECT_EQ(px(full, 1, 4), kRed);
    EXPECT_EQ(px(full, 2, 4), kRed);
    EXPECT_EQ(px(full, 6, 4), kBlue);
    EXPECT_EQ(px(full, 7, 4), kBlue);
    EXPECT_EQ(px(full, 4, 4), kWhite);
}

TEST(GradientFilters, MatchTheirSingleColourForms) {
    const QImage square = block(2, 2, 6, 6, 11, 11);
    GlowFilter glow;
    glow.color = {255, 0, 0, 255};
    glow.blurX = glow.blurY = 3;
    GradientGlowFilter gglow;
    gglow.gradient = {{0, {255, 0, 0, 0}}, {255, {255, 0, 0, 255}}};
    gglow.blurX = gglow.blurY = 3;
    const QImage a = applyFilter(square, glow, 1, 1);
    const QImage b = applyFilter(square, gglow, 1, 1);
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 11; ++x) {
            EXPECT_NEAR(qAlpha(px(a, x, y)), qAlpha(px(b, x, y)), 1) << x << "," << y;
            EXPECT_NEAR(qRed(px(a, x, y)), qRed(px(b, x, y)), 1) << x << "," << y;
        }
    }

    BevelFilter bevel;
    bevel.highlight = {255, 0, 0, 255};
    bevel.shadow = {0, 0, 255, 255};
    bevel.distance = 1;
    bevel.inner = true;
    GradientBevelFilter gbevel;
    gbevel.gradient = {{0, {255, 0, 0, 255}}, {128, {0, 0, 0, 0}}, {255, {0, 0, 255, 255}}};
    gbevel.distance = 1;
    gbevel.inner = true;
    EXPECT_EQ(applyFilter(square, bevel, 1, 1), applyFilter(square, gbevel, 1, 1));
}

TEST(ColorMatrixFilter, IdentityGreyscaleAndSaturation) {
    QImage img = blank(3, 1);
    img.setPixel(0, 0, qRgba(64, 32, 0, 128));
    img.setPixel(1, 0, qRgba(200, 100, 40, 255));
    img.setPixel(2, 0, qRgba(1, 2, 3, 3));
    EXPECT_EQ(applyFilter(img, ColorMatrixFilter{}, 1, 1), img) << "identity keeps every value";

    ColorMatrixFilter grey;
    grey.matrix = {0.3f, 0.59f, 0.11f, 0, 0, 0.3f, 0.59f, 0.11f, 0, 0,
                   0.3f, 0.59f, 0.11f, 0, 0, 0,    0,     0,     1, 0};
    EXPECT_EQ(px(applyFilter(img, grey, 1, 1), 1, 0), qRgba(123, 123, 123, 255));

    // Offsets in 0..255 units; results saturate; alpha from the matrix.
    ColorMatrixFilter shift;
    shift.matrix[4] = 100;   // red + 100
    shift.matrix[9] = -300;  // green gone
    shift.matrix[18] = 0;
    shift.matrix[19] = 255;  // opaque
    const QImage s = applyFilter(img, shift, 1, 1);
    EXPECT_EQ(px(s, 1, 0), qRgba(255, 0, 40, 255));
    EXPECT_EQ(px(s, 0, 0), qRgba(228, 0, 0, 255)) << "works on unpremultiplied colour (128)";

    // The values of a movie with a colour matrix, against its reference picture: cyan fill
    // becomes (241, 87, 233), red line (0, 8, 0).
    ColorMatrixFilter movie;
    movie.matrix = {-0.08813394f,
                    0.72841668f,
                    0.69971734f,
                    0,
                    -123.43f,
                    0.51377416f,
                    0.86963558f,
                    -0.04340990f,
                    0,
                    -123.42999f,
                    -0.0569181f,
                    1.60593247f,
                    -0.20901464f,
                    0,
                    -123.42998f,
                    0,
                    0,
                    0,
                    1,
                    0};
    QImage fills = blank(2, 1);
    fills.setPixel(0, 0, qRgb(0, 255, 255));
    fills.setPixel(1, 0, qRgb(255, 0, 0));
    const QImage m = applyFilter(fills, movie, 1, 1);
    EXPECT_EQ(px(m, 0, 0), qRgb(241, 87, 233));
    EXPECT_EQ(px(m, 1, 0), qRgb(0, 8, 0));
}

TEST(ConvolutionFilter, MatrixDivisorBiasEdgesAndAlpha) {
    QImage img = blank(3, 3);
    img.fill(qRgb(100, 100, 100));
    img.setPixel(1, 1, qRgb(10, 20, 30));
    ConvolutionFilter id;
    id.matrixX = id.matrixY = 3;
    id.matrix = {0, 0, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(applyFilter(img, id, 1, 1), img);

    id.bias = 10;
    EXPECT_EQ(px(applyFilter(img, id, 1, 1), 0, 0), qRgb(110, 110, 110));
    id.bias = 0;
    id.divisor = 0;  // taken as 1
    EXPECT_EQ(applyFilter(img, id, 1, 1), img);

    // Box of 9 with divisor 9 on the middle pixel: (8 * 100 + 10) / 9 = 90.
    ConvolutionFilter box;
    box.matrixX = box.matrixY = 3;
    box.matrix.assign(9, 1.0f);
    box.divisor = 9;
    EXPECT_EQ(qRed(px(applyFilter(img, box, 1, 1), 1, 1)), 90);

    // A 3x1 matrix that takes the left neighbour: at the left edge, the edge pixel itself
    // (clamp) or the default colour.
    ConvolutionFilter left;
    left.matrixX = 3;
    left.matrixY = 1;
    left.matrix = {1, 0, 0};
    left.defaultColor = {0, 255, 0, 255};
    left.preserveAlpha = false;
    left.clamp = true;
    EXPECT_EQ(px(applyFilter(img, left, 1, 1), 0, 1), qRgb(100, 100, 100));
    EXPECT_EQ(px(applyFilter(img, left, 1, 1), 2, 1), qRgb(10, 20, 30));
    left.clamp = false;
    EXPECT_EQ(px(applyFilter(img, left, 1, 1), 0, 1), qRgb(0, 255, 0));

    // Alpha: kept, or convolved (premultiplied, so a lone white pixel spreads as white).
    QImage dot = blank(3, 3);
    dot.setPixel(1, 1, kWhite);
    box.preserveAlpha = false;
    EXPECT_EQ(px(applyFilter(dot, box, 1, 1), 0, 0), qRgba(28, 28, 28, 28));
    box.preserveAlpha = true;
    EXPECT_EQ(px(applyFilter(dot, box, 1, 1), 0, 0), 0u) << "transparent stays transparent";
    EXPECT_EQ(qAlpha(px(applyFilter(dot, box, 1, 1), 1, 1)), 255);
}

TEST(ConvolutionFilter, HostileSizesAreSkipped) {
    ConvolutionFilter huge;
    huge.matrixX = huge.matrixY = 255;
    huge.matrix.assign(255 * 255, 1.0f);
    const QImage img = block(0, 0, 99, 99, 100, 100).scaled(600, 600);
    EXPECT_EQ(applyFilter(img, huge, 1, 1), img) << "too much work: left as it is";
    ConvolutionFilter inconsistent;
    inconsistent.matrixX = 3;
    inconsistent.matrixY = 3;
    inconsistent.matrix = {1};
    EXPECT_EQ(applyFilter(img, inconsistent, 1, 1), img);
}

TEST(Filters, ApplyInOrderAndAcceptAnyFormat) {
    QImage straight(5, 5, QImage::Format_ARGB32);
    straight.fill(0u);
    straight.setPixel(2, 2, qRgba(255, 255, 255, 255));
    ColorMatrixFilter toRed;
    toRed.matrix = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    // Blur first, then colour: the blurred pixels all turn red.
    const QImage out = applyFilters(straight, {BlurFilter{3, 3, 1}, toRed}, 1, 1);
    EXPECT_EQ(out.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(px(out, 1, 1), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(out, 2, 2), qRgba(28, 0, 0, 28));
    EXPECT_EQ(px(out, 0, 0), 0u);
    EXPECT_TRUE(applyFilters(QImage(), {BlurFilter{3, 3, 1}}, 1, 1).isNull());
}

TEST(Filters, WorkPastTheBudgetIsLeftOut) {
    // 2400 x 2400: a colour matrix fits the budget, a 255-pixel 15-pass blur after it not.
    QImage big = blank(2400, 2400);
    ColorMatrixFilter toRed;
    toRed.matrix = {0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255};
    const QImage out = applyFilters(big, {toRed, BlurFilter{255, 255, 15}}, 1, 1);
    ASSERT_EQ(out.size(), big.size());
    EXPECT_EQ(px(out, 0, 0), kRed);
    EXPECT_EQ(px(out, 1200, 1200), kRed);
}

// Where an object is placed its filters are read once; a list whose end cannot be found
// gives none, and leaves the reader failed so that nothing after it is misread.
TEST(FilterList, PlacedFiltersAreReadThroughOrNotAtAll) {
    BitWriter w;
    w.u8(1);
    w.u8(1);  // blur 3 x 4, two passes
    fixed16(w, 3);
    fixed16(w, 4);
    w.u8(2 << 3);
    w.u8(0x05);  // a blend mode byte after the list
    ByteReader in(w.data());
    const auto list = readPlacedFilters(in);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ(std::get<BlurFilter>(list->front()), (BlurFilter{3, 4, 2}));
    EXPECT_EQ(in.u8(), 0x05);

    BitWriter empty;
    empty.u8(0);
    ByteReader none(empty.data());
    const auto noFilters = readPlacedFilters(none);
    ASSERT_TRUE(noFilters.has_value()) << "an empty list is still a list";
    EXPECT_TRUE(noFilters->empty());

    BitWriter bad;
    bad.u8(2);
    bad.u8(1);
    fixed16(bad, 3);
    fixed16(bad, 4);
    bad.u8(1 << 3);
    bad.u8(42);  // unknown: its length cannot be known
    bad.u8(0x05);
    ByteReader damaged(bad.data());
    EXPECT_FALSE(readPlacedFilters(damaged).has_value());
    EXPECT_FALSE(damaged.ok());
}
