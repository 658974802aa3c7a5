// BitmapData: the pixel store's rules, and the script object's answers to bad calls.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Avm1TestSupport.h"
#include "engine/avm1/BitmapPixels.h"

namespace zd::avm1test {
namespace {

using avm1::BitmapPixels;
using avm1::PixelRect;
using avm1::Value;

TEST(BitmapPixels, PartialAlphaIsStoredPremultipliedAndReadsBackRounded) {
    BitmapPixels b(2, 1, true, 0xaabbccdd);
    EXPECT_EQ(b.pixel32(0, 0), 0xaabbccdcu);
    b.setPixel32(1, 0, 0x12345678);
    EXPECT_EQ(b.pixel32(1, 0), 0x12395571u);
    // setPixel keeps the alpha and stores the colour under it.
    b.setPixel(0, 0, 0x345678);
    EXPECT_EQ(b.pixel32(0, 0), 0xaa345578u);
    b.setPixel32(0, 0, 0x00ffffff);
    EXPECT_EQ(b.pixel32(0, 0), 0u);
    // Full alpha and opaque bitmaps keep every value exactly.
    for (std::uint32_t v : {0xff000000u, 0xff123456u, 0xffffffffu}) {
        EXPECT_EQ(BitmapPixels::unmultiply(BitmapPixels::premultiply(v)), v);
    }
    BitmapPixels opaque(1, 1, false, 0x12345678);
    EXPECT_EQ(opaque.pixel32(0, 0), 0xff345678u);
    EXPECT_EQ(opaque.pixel32(5, 0), 0u);
    EXPECT_EQ(opaque.pixel32(0, -1), 0u);
}

TEST(BitmapPixels, CopyPixelsClipsAgainstBothBitmaps) {
    BitmapPixels src(4, 4, false, 0xff0000ff);
    src.setPixel32(0, 0, 0xffff0000);
    BitmapPixels dst(3, 3, false, 0xff000000);
    // An area starting left of the source and a destination hanging over the far edge.
    dst.copyPixels(src, PixelRect{-1, -1, 10, 10}, 1, 1, nullptr, 0, 0, false);
    // The area's corner maps to (1, 1): what lies outside the source copies nothing, and the
    // source's own corner lands one further on.
    EXPECT_EQ(dst.pixel32(0, 0), 0xff000000u);
    EXPECT_EQ(dst.pixel32(1, 1), 0xff000000u);
    EXPECT_EQ(dst.pixel32(2, 1), 0xff000000u);
    EXPECT_EQ(dst.pixel32(2, 2), 0xffff0000u);
    BitmapPixels shifted(3, 3, false, 0xff000000);
    shifted.copyPixels(src, PixelRect{0, 0, 2, 2}, -1, -1, nullptr, 0, 0, false);
    EXPECT_EQ(shifted.pixel32(0, 0), 0xff0000ffu);  // src (1, 1)
    EXPECT_EQ(shifted.pixel32(1, 1), 0xff000000u);
    // Areas entirely outside either bitmap change nothing.
    shifted.copyPixels(src, PixelRect{100, 100, 5, 5}, 0, 0, nullptr, 0, 0, false);
    shifted.copyPixels(src, PixelRect{0, 0, 5, 5}, 3, 0, nullptr, 0, 0, false);
    shifted.copyPixels(src, PixelRect{0, 0, -5, 5}, 0, 0, nullptr, 0, 0, false);
    EXPECT_EQ(shifted.pixel32(2, 2), 0xff000000u);
}

TEST(BitmapPixels, CopyOntoOpaqueBlendsATransparentSource) {
    BitmapPixels src(1, 1, true, 0xf00e0e0e);
    BitmapPixels dst(1, 1, false, 0xff000000);
    dst.copyPixels(src, PixelRect{0, 0, 1, 1}, 0, 0, nullptr, 0, 0, false);
    EXPECT_EQ(dst.pixel32(0, 0), 0xff0d0d0du);
    BitmapPixels transparentDst(1, 1, true, 0xffffffff);
    transparentDst.copyPixels(src, PixelRect{0, 0, 1, 1}, 0, 0, nullptr, 0, 0, false);
    EXPECT_EQ(transparentDst.pixel32(0, 0) >> 24, 0xf0u);
}

TEST(BitmapPixels, FloodFillStaysInsideItsAreaAndTheBitmap) {
    BitmapPixels b(5, 5, false, 0xffffffff);
    // A wall across the middle: the fill must not pass it, not even diagonally.
    for (int x = 0; x < 5; ++x) {
        b.setPixel32(x, 2, 0xff000000);
    }
    b.setPixel32(2, 2, 0xffffffff);
    b.setPixel32(1, 2, 0xff000000);
    EXPECT_TRUE(b.floodFill(0, 0, 0xff00ff00));
    EXPECT_EQ(b.pixel32(4, 1), 0xff00ff00u);
    EXPECT_EQ(b.pixel32(2, 2), 0xff00ff00u);  // the gap
    EXPECT_EQ(b.pixel32(0, 4), 0xff00ff00u);  // through the gap
    EXPECT_EQ(b.pixel32(0, 2), 0xff000000u);
    // Outside, or the colour already there: nothing to do.
    EXPECT_FALSE(b.floodFill(-1, 0, 0xffff0000));
    EXPECT_FALSE(b.floodFill(0, 5, 0xffff0000));
    EXPECT_FALSE(b.floodFill(0, 0, 0xff00ff00));
}

TEST(BitmapPixels, FloodFillOfTheLargestBitmapFinishes) {
    BitmapPixels b(2880, 2880, true, 0);
    // Stripes make many spans per row.
    for (int x = 0; x < 2880; x += 2) {
        b.setPixel32(x, 1000, 0xff000000);
    }
    EXPECT_TRUE(b.floodFill(1439, 1439, 0xff123456));
    EXPECT_EQ(b.pixel32(0, 0), 0xff123456u);
    EXPECT_EQ(b.pixel32(2879, 2879), 0xff123456u);
    EXPECT_EQ(b.pixel32(0, 1000), 0xff000000u);
}

TEST(BitmapPixels, NoiseFollowsItsSeed) {
    BitmapPixels b(3, 1, false, 0);
    b.noise(1, 0, 255, avm1::kRedChannel | avm1::kGreenChannel | avm1::kBlueChannel, false);
    EXPECT_EQ(b.pixel32(0, 0), 0xffa7f1d9u);
    // Seeds at or below zero count as 1 - seed.
    BitmapPixels zero(3, 1, false, 0);
    zero.noise(0, 0, 255, 7, false);
    EXPECT_EQ(zero.data(), b.data());
    BitmapPixels grey(1, 1, false, 0);
    grey.noise(-1, 0, 255, 0, true);
    EXPECT_EQ(grey.pixel32(0, 0), 0xff4e4e4eu);
    // A range upside down gives its low end.
    grey.noise(5, 10, 2, 7, true);
    EXPECT_EQ(grey.pixel32(0, 0), 0xff0a0a0au);
}

TEST(BitmapPixels, ThresholdComparesStoredValuesAndCounts) {
    BitmapPixels src(2, 1, true, 0xffffffff);
    src.setPixel32(1, 0, 0x12345678);
    BitmapPixels dst(2, 1, true, 0);
    const int n = dst.threshold(src, PixelRect{0, 0, 2, 1}, 0, 0, BitmapPixels::Compare::Less,
                                0x33333333, 0xaaaaaaaa, 0x00ff0000, true);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(dst.pixel32(0, 0), 0xffffffffu);
    EXPECT_EQ(dst.pixel32(1, 0), 0xaaa9a9a9u);
}

TEST(BitmapPixels, LiveBytesFollowEachBitmapsLife) {
    const std::size_t before = BitmapPixels::liveBytes();
    {
        BitmapPixels a(10, 10, true, 0);
        EXPECT_EQ(BitmapPixels::liveBytes(), before + 400);
        BitmapPixels copy(a);
        EXPECT_EQ(BitmapPixels::liveBytes(), before + 800);
    }
    EXPECT_EQ(BitmapPixels::liveBytes(), before);
    EXPECT_TRUE(BitmapPixels::roomFor(2880, 2880));
    EXPECT_FALSE(BitmapPixels::roomFor(100000, 100000));
}

TEST(BitmapPixels, FillRectWithNegativeSizeReachesBackFromTheCorner) {
    BitmapPixels b(10, 10, false, 0xff000000);
    b.fillRect(PixelRect{15, 15, -8, -8}, 0xffff0000);
    EXPECT_EQ(b.pixel32(7, 7), 0xffff0000u);
    EXPECT_EQ(b.pixel32(9, 9), 0xffff0000u);
    EXPECT_EQ(b.pixel32(6, 9), 0xff000000u);
    // Extremes neither overflow nor fill what they do not cover.
    b.fillRect(PixelRect{-2147483647 - 1, 0, -5, 5}, 0xff00ff00);
    b.fillRect(PixelRect{2147483647, 0, -2147483647 - 1, 1}, 0xff0000ff);
    EXPECT_EQ(b.pixel32(0, 0), 0xff0000ffu);
    EXPECT_EQ(b.pixel32(0, 1), 0xff000000u);
}

TEST(BitmapPixels, ScrollMovesThePictureAndLeavesTheRest) {
    BitmapPixels b(3, 2, false, 0xff000000);
    b.setPixel32(0, 0, 0xff111111);
    b.setPixel32(1, 0, 0xff222222);
    b.setPixel32(2, 1, 0xff333333);
    b.scroll(1, 1);
    EXPECT_EQ(b.pixel32(1, 1), 0xff111111u);
    EXPECT_EQ(b.pixel32(2, 1), 0xff222222u);
    // Uncovered pixels keep what they had.
    EXPECT_EQ(b.pixel32(0, 0), 0xff111111u);
    b.scroll(-1, -1);
    EXPECT_EQ(b.pixel32(0, 0), 0xff111111u);
    EXPECT_EQ(b.pixel32(1, 0), 0xff222222u);
    const auto before = b.data();
    b.scroll(3, 0);
    b.scroll(0, -2147483647 - 1);
    EXPECT_EQ(b.data(), before);
}

TEST(BitmapPixels, PaletteMapSumsTheTablesPicks) {
    BitmapPixels src(2, 1, true, 0xff102030);
    src.setPixel32(1, 0, 0xffff0000);
    BitmapPixels dst(2, 1, true, 0);
    BitmapPixels::PaletteTable red{};
    red[0x10] = 0x00000001;  // a pick may fill any channel
    red[0xff] = 0x00000200;
    dst.paletteMap(src, PixelRect{0, 0, 2, 1}, 0, 0, {&red, nullptr, nullptr, nullptr});
    // Green, blue and alpha pass through unchanged.
    EXPECT_EQ(dst.pixel32(0, 0), 0xff002031u);
    EXPECT_EQ(dst.pixel32(1, 0), 0xff000200u);
}

TEST(BitmapPixels, PerlinNoiseFollowsItsSeedAndStaysBounded) {
    BitmapPixels::PerlinOptions o;
    o.baseX = o.baseY = 8;
    o.octaves = 3;
    o.seed = 7;
    o.fractal = true;
    BitmapPixels a(16, 16, true, 0);
    BitmapPixels b(16, 16, true, 0);
    a.perlinNoise(o);
    b.perlinNoise(o);
    EXPECT_EQ(a.data(), b.data());
    // Not flat, opaque without the alpha channel, blue-free when blue is not asked for.
    EXPECT_NE(a.pixel32(0, 0), a.pixel32(5, 9));
    EXPECT_EQ(a.pixel32(3, 3) >> 24, 255u);
    o.seed = 8;
    o.channels = avm1::kRedChannel | avm1::kGreenChannel;
    b.perlinNoise(o);
    EXPECT_NE(a.data(), b.data());
    EXPECT_EQ(b.pixel32(4, 4) & 0xffu, 0u);
    // Stitched noise wraps at the bitmap's edges: moved half way across, the columns that
    // leave on the right come back on the left.
    o.stitch = true;
    o.octaves = 1;
    o.baseX = o.baseY = 4;
    o.channels = avm1::kRedChannel;
    BitmapPixels s(8, 8, false, 0);
    s.perlinNoise(o);
    BitmapPixels moved(8, 8, false, 0);
    o.offsets = {{4, 0}};
    moved.perlinNoise(o);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(moved.pixel32(x, y), s.pixel32((x + 4) % 8, y)) << x << "," << y;
        }
    }
    // Hostile settings finish without harm.
    o.offsets = {{1e300, -1e300}};
    o.baseX = std::numeric_limits<double>::quiet_NaN();
    o.octaves = 1000;
    s.perlinNoise(o);
    BitmapPixels big(128, 128, true, 0);
    o.octaves = 1000;
    o.offsets.clear();
    o.channels = 15;
    big.perlinNoise(o);
    EXPECT_NE(big.pixel32(1, 1) >> 24, big.pixel32(100, 90) >> 24);
}

TEST(BitmapPixels, OpaqueBitmapsDrawNoAlphaNoiseAndCompareColoursUnmasked) {
    // Asking for alpha takes no numbers from the sequence: the grey values come out the same.
    BitmapPixels withAlpha(3, 1, false, 0), without(3, 1, false, 0);
    withAlpha.noise(128, 0, 255, 15, true);
    without.noise(128, 0, 255, 7, true);
    EXPECT_EQ(withAlpha.data(), without.data());

    struct Case {
        bool transparent;
        std::uint32_t mask, color;
        bool found;
    };
    for (const Case& c :
         {Case{false, 0, 0xff0000, false}, Case{false, 0xff, 0xdd, true},
          Case{false, 0xff000000, 0xaa000000, true}, Case{true, 0, 0xff0000, true},
          Case{true, 0xff000000, 0xaa000000, true}, Case{true, 0xff, 0xdd, false}}) {
        const BitmapPixels b(3, 3, c.transparent, 0xaabbccdd);
        EXPECT_EQ(b.colorBounds(c.mask, c.color, true).width, c.found ? 3 : 0)
            << c.transparent << " " << std::hex << c.mask << " " << c.color;
    }
}

TEST(BitmapPixels, CopyThroughAnAlphaBitmapStopsWhereItEnds) {
    const BitmapPixels src(4, 1, false, 0xffff0000);
    const BitmapPixels alpha(2, 1, true, 0xff000000);
    BitmapPixels dst(4, 1, false, 0xff0000ff);
    dst.copyPixels(src, PixelRect{0, 0, 4, 1}, 0, 0, &alpha, 0, 0, false);
    EXPECT_EQ(dst.pixel32(1, 0), 0xffff0000u);
    EXPECT_EQ(dst.pixel32(2, 0), 0xff0000ffu);
}

TEST(BitmapPixels, RaisingOnlyAlphaKeepsTheStoredColour) {
    BitmapPixels b(1, 1, true, 0);
    b.setStored(0, 0, 0x08060606);
    avm1::PixelTransform t;
    t.multiply[3] = 2;
    b.colorTransform(PixelRect{0, 0, 1, 1}, t);
    EXPECT_EQ(b.stored(0, 0), 0x10060606u);
    // An offset goes through the straight colour: it brightens with the alpha.
    t.multiply[3] = 1;
    t.add[3] = 50;
    b.colorTransform(PixelRect{0, 0, 1, 1}, t);
    EXPECT_EQ(b.stored(0, 0) >> 24, 66u);
    EXPECT_GT(b.stored(0, 0) & 0xffu, 6u);
}

class BitmapScript : public ::testing::Test {
  protected:
    explicit BitmapScript(int version = 8) : run_(version, ActionWriter()) {}

    avm1::Vm& vm() { return run_.vm(); }
    Value bitmapClass() {
        const Value flash = vm().get(Value(vm().global()), "flash");
        return vm().get(vm().get(flash, "display"), "BitmapData");
    }
    Value make(std::vector<Value> args) { return vm().construct(bitmapClass(), args); }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return vm().call(vm().get(self, method), self, args);
    }
    Value rect(double x, double y, double w, double h) {
        const Value flash = vm().get(Value(vm().global()), "flash");
        const Value cls = vm().get(vm().get(flash, "geom"), "Rectangle");
        return vm().construct(cls, std::vector<Value>{Value(x), Value(y), Value(w), Value(h)});
    }

    Value geom(const char* cls, std::vector<Value> args) {
        const Value flash = vm().get(Value(vm().global()), "flash");
        return vm().construct(vm().get(vm().get(flash, "geom"), cls), args);
    }
    std::uint32_t pixel(const Value& b, int x, int y) {
        return static_cast<std::uint32_t>(
            vm().toInt32(call(b, "getPixel32", {Value(double(x)), Value(double(y))})));
    }

    ScriptRun run_;
};

TEST_F(BitmapScript, AnOpaqueAlphaBitmapLeavesTheCopyWhole) {
    const Value src = make({Value(4.0), Value(1.0), Value::boolean(false), Value(-65536.0)});
    const Value alpha = make({Value(1.0), Value(1.0), Value::boolean(false), Value(0.0)});
    const Value dst = make({Value(4.0), Value(1.0), Value::boolean(false), Value(0.0)});
    call(dst, "copyPixels",
         {src, rect(0, 0, 4, 1), Value(), alpha, Value(), Value::boolean(false)});
    EXPECT_EQ(pixel(dst, 3, 0), 0xffff0000u);
}

TEST_F(BitmapScript, DrawOfABitmapFollowsMatrixClipRectAndColourTransform) {
    const Value src = make({Value(2.0), Value(2.0), Value::boolean(false), Value(-65536.0)});
    const Value dst = make({Value(8.0), Value(8.0), Value::boolean(true), Value(0.0)});
    // Twice the size, moved by (1, 1): red over (1, 1)..(4, 4).
    const Value scaled =
        geom("Matrix", {Value(2.0), Value(0.0), Value(0.0), Value(2.0), Value(1.0), Value(1.0)});
    call(dst, "draw", {src, scaled});
    EXPECT_EQ(pixel(dst, 0, 0), 0u);
    EXPECT_EQ(pixel(dst, 1, 1), 0xffff0000u);
    EXPECT_EQ(pixel(dst, 4, 4), 0xffff0000u);
    EXPECT_EQ(pixel(dst, 5, 5), 0u);
    // Red taken out, blue put in, and only inside the clip rectangle.
    const Value blue = geom("ColorTransform", {Value(0.0), Value(1.0), Value(1.0), Value(1.0),
                                               Value(0.0), Value(0.0), Value(255.0), Value(0.0)});
    const Value moved =
        geom("Matrix", {Value(1.0), Value(0.0), Value(0.0), Value(1.0), Value(5.0), Value(5.0)});
    call(dst, "draw", {src, moved, blue, Value(), rect(0, 0, 6, 8)});
    EXPECT_EQ(pixel(dst, 5, 5), 0xff0000ffu);
    EXPECT_EQ(pixel(dst, 6, 6), 0u);
    // Outside the colour transform's picture nothing changes, offsets or not.
    EXPECT_EQ(pixel(dst, 7, 0), 0u);
    // A matrix that is not finite, and a disposed source, draw nothing.
    const double inf = std::numeric_limits<double>::infinity();
    call(dst, "draw",
         {src, geom("Matrix",
                    {Value(inf), Value(0.0), Value(0.0), Value(1.0), Value(0.0), Value(0.0)})});
    EXPECT_EQ(pixel(dst, 0, 0), 0u);
    call(src, "dispose");
    call(dst, "draw", {src});
    EXPECT_EQ(pixel(dst, 0, 0), 0u);
}

TEST_F(BitmapScript, SizesOutsideTheLimitsMakeNoBitmap) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(make({Value(2880.0), Value(2880.0)}).isObject());
    for (auto [w, h] : {std::pair{2881.0, 1.0},
                        {1.0, 2881.0},
                        {0.0, 1.0},
                        {-5.0, 5.0},
                        {nan, 4.0},
                        {1e12, 1e12}}) {
        EXPECT_TRUE(make({Value(w), Value(h)}).isUndefined()) << w << "x" << h;
    }
    // A refused size does not spoil the next construction.
    EXPECT_TRUE(make({Value(1.0), Value(1.0)}).isObject());
}

TEST_F(BitmapScript, DisposedBitmapsAnswerMinusOne) {
    const Value b = make({Value(2.0), Value(2.0)});
    const Value other = make({Value(2.0), Value(2.0)});
    call(other, "dispose");
    EXPECT_EQ(vm().toNumber(call(b, "copyPixels", {other, rect(0, 0, 2, 2), Value()})), -3);
    call(b, "dispose");
    EXPECT_EQ(vm().toNumber(vm().get(b, "width")), -1);
    EXPECT_EQ(vm().toNumber(call(b, "getPixel", {Value(0.0), Value(0.0)})), -1);
    EXPECT_EQ(vm().toNumber(call(b, "fillRect", {rect(0, 0, 1, 1), Value(0.0)})), -1);
    EXPECT_EQ(vm().toNumber(call(b, "floodFill", {Value(0.0), Value(0.0), Value(1.0)})), -1);
    EXPECT_TRUE(call(b, "clone").isNumber());
}

TEST_F(BitmapScript, HostileRectanglesAreClippedOrRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Value b = make({Value(3.0), Value(3.0), Value::boolean(false), Value(0.0)});
    EXPECT_EQ(vm().toNumber(call(b, "fillRect", {rect(nan, nan, nan, nan), Value(-1.0)})), 0);
    EXPECT_EQ(vm().toNumber(call(b, "fillRect", {rect(-5, -5, 1e9, 1e9), Value(-1.0)})), 0);
    EXPECT_EQ(vm().toNumber(call(b, "getPixel", {Value(2.0), Value(2.0)})), 0xffffff);
    EXPECT_EQ(vm().toNumber(call(b, "fillRect", {Value(), Value(0.0)})), -1);
    EXPECT_EQ(vm().toNumber(call(b, "copyPixels", {b, rect(-7, -7, 100, 100), Value()})), -1);
}

}  // namespace
}  // namespace zd::avm1test
