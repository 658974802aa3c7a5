// flash.filters: the properties' coercions, the records the display gets, MovieClip.filters.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

#include "Avm1TestSupport.h"
#include "engine/avm1/FilterValues.h"

namespace zd::avm1test {
namespace {

using avm1::FilterKind;
using avm1::FilterValues;
using avm1::Value;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FilterValues, AlphasTruncateButGradientAlphasRoundAndNaNIsOpaque) {
    EXPECT_EQ(FilterValues::toAlpha(0.5), 127);
    EXPECT_EQ(FilterValues::toStopAlpha(0.5), 128);
    EXPECT_EQ(FilterValues::toAlpha(-1), 0);
    EXPECT_EQ(FilterValues::toAlpha(1.5), 255);
    EXPECT_EQ(FilterValues::toAlpha(kNaN), 255);
    EXPECT_EQ(FilterValues::toStopAlpha(kNaN), 255);
    EXPECT_EQ(FilterValues::toColor(-305419896), 0xcba988u);
    EXPECT_EQ(FilterValues::toQuality(100), 15);
    EXPECT_EQ(FilterValues::toQuality(2.5), 2);
    EXPECT_EQ(FilterValues::toBlur(256), 255);
    EXPECT_EQ(FilterValues::toBlur(kNaN), 0);
    EXPECT_EQ(FilterValues::toAngle(366), 6);
    EXPECT_EQ(FilterValues::toAngle(-1), -1);
    EXPECT_EQ(FilterValues::toType("INNER"), "full");
    EXPECT_EQ(FilterValues::toMode("Color"), "wrap");
    EXPECT_EQ(FilterValues::toScale(-70000), -65535);
}

TEST(FilterValues, GradientListsFollowTheColoursAndKeepWhatLiesBeyond) {
    FilterValues f = FilterValues::defaults(FilterKind::GradientGlow);
    f.setAlphas({1});  // no stops yet: nothing to fill
    f.setColors({-305419896, 10});
    EXPECT_EQ(f.shownColors(), (std::vector<std::uint32_t>{0xcba988, 10}));
    EXPECT_EQ(f.shownAlphas(), (std::vector<std::uint8_t>{0, 0}));
    f.setRatios({500, 50.5, 100});
    EXPECT_EQ(f.shownRatios(), (std::vector<std::uint8_t>{255, 50}));
    f.setColors({kNaN, kNaN, kNaN, kNaN});
    f.setAlphas({0.5, 1.5, -0.5});  // the fourth is missing: opaque
    EXPECT_EQ(f.shownAlphas(), (std::vector<std::uint8_t>{128, 255, 0, 255}));
    f.setRatios({50});  // ratios may shorten the list
    EXPECT_EQ(f.shownColors().size(), 1u);
    // A longer colour list brings the hidden alphas and ratios back.
    std::vector<double> many(17, 1.0);
    f.setColors(many);
    ASSERT_EQ(f.shownColors().size(), 16u);
    EXPECT_EQ(f.shownAlphas()[3], 255);
    EXPECT_EQ(f.shownRatios()[1], 50);
    EXPECT_EQ(f.shownRatios()[5], 0);
}

TEST(FilterValues, ConvolutionMatrixGrowsToItsSizeButIsNeverCut) {
    FilterValues f = FilterValues::defaults(FilterKind::Convolution);
    f.setMatrix({-1000.5});
    f.setMatrixX(2);
    EXPECT_EQ(f.matrix.size(), 1u);  // 2 x 0 cells
    f.setMatrixY(2);
    EXPECT_EQ(f.matrix, (std::vector<double>{-1000.5, 0, 0, 0}));
    f.setMatrix({1, 2, 3, 4, 5});
    EXPECT_EQ(f.matrix.size(), 5u);
    // The record holds exactly the cells its size names.
    const auto record = avm1::toFilterRecord(f);
    ASSERT_TRUE(record);
    const auto& c = std::get<engine::ConvolutionFilter>(*record);
    EXPECT_EQ(c.matrix, (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(c.defaultColor.a, 0);
}

TEST(FilterValues, TheDisplayKeepsAnglesToNineDecimalsOfARadian) {
    FilterValues glow = FilterValues::defaults(FilterKind::GradientGlow);
    glow.angle = 45;
    const FilterValues kept = avm1::keptByDisplay(glow);
    EXPECT_NEAR(kept.angle, 44.9999999772279, 1e-12);
    EXPECT_NE(kept.angle, 45.0);
    // A gradient glow set outside reads back inside; a gradient bevel keeps its type.
    EXPECT_EQ(kept.type, "inner");
    FilterValues bevel = FilterValues::defaults(FilterKind::GradientBevel);
    bevel.type = "outer";
    EXPECT_EQ(avm1::keptByDisplay(bevel).type, "outer");
}

TEST(FilterValues, RecordsRoundTripAndTypesMapToFlags) {
    engine::BevelFilter b;
    b.highlight = {0, 255, 0, 255};
    b.shadow = {0, 0, 255, 128};
    b.blurX = 10;
    b.angle = 0.5;
    b.distance = 3;
    b.strength = 1.5;
    b.onTop = true;
    b.passes = 2;
    const FilterValues f = avm1::fromFilterRecord(b);
    EXPECT_EQ(f.kind, FilterKind::Bevel);
    EXPECT_EQ(f.type, "full");
    EXPECT_EQ(f.highlightColor, 0x00ff00u);
    EXPECT_EQ(f.shadowAlpha, 128);
    EXPECT_EQ(f.quality, 2);
    const auto back = avm1::toFilterRecord(f);
    ASSERT_TRUE(back);
    const auto& b2 = std::get<engine::BevelFilter>(*back);
    EXPECT_EQ(b2.highlight, b.highlight);
    EXPECT_EQ(b2.shadow, b.shadow);
    EXPECT_TRUE(b2.onTop);
    EXPECT_FALSE(b2.inner);
    EXPECT_NEAR(b2.angle, 0.5, 1e-12);
    // The drop shadow's "hide object" is the record's composite-source flag, reversed.
    FilterValues shadow = FilterValues::defaults(FilterKind::DropShadow);
    shadow.hideObject = true;
    const auto s = avm1::toFilterRecord(shadow);
    ASSERT_TRUE(s);
    EXPECT_FALSE(std::get<engine::DropShadowFilter>(*s).compositeSource);
    EXPECT_FALSE(avm1::toFilterRecord(FilterValues::defaults(FilterKind::DisplacementMap)));
}

class FilterScript : public LibraryFixture {
  protected:
    Value filterClass(const char* name) {
        return vm().get(vm().get(global("flash"), "filters"), name);
    }
    Value make(const char* name, std::vector<Value> args = {}) {
        return vm().construct(filterClass(name), args);
    }
    double number(const Value& o, const char* name) { return vm().toNumber(vm().get(o, name)); }
    Value root() { return Value(vm().clipObject(avm1trace::TraceHost::kRoot)); }
};

TEST_F(FilterScript, ConstructorsCoerceTheirArgumentsAndCloneCopies) {
    const Value blur = make("BlurFilter", {Value(300.0), Value(-1.0), Value(100.0)});
    EXPECT_EQ(number(blur, "blurX"), 255);
    EXPECT_EQ(number(blur, "blurY"), 0);
    EXPECT_EQ(number(blur, "quality"), 15);
    const Value copy = call(blur, "clone");
    ASSERT_TRUE(copy.isObject());
    EXPECT_NE(copy.asObject(), blur.asObject());
    vm().set(copy, "blurX", Value(2.0));
    EXPECT_EQ(number(blur, "blurX"), 255);
    EXPECT_TRUE(vm().instanceOf(copy, filterClass("BlurFilter").asObject()));
    EXPECT_TRUE(vm().instanceOf(copy, filterClass("BitmapFilter").asObject()));
    // The base class clones to nothing.
    EXPECT_TRUE(call(make("BitmapFilter"), "clone").isUndefined());
    // A convolution's colour given alone comes opaque; left out, the default is clear.
    std::vector<Value> args = {Value(1.0),          Value(1.0), Value(),
                               Value(1.0),          Value(0.0), Value::boolean(true),
                               Value::boolean(true)};
    EXPECT_EQ(number(make("ConvolutionFilter", args), "alpha"), 0);
    args.push_back(Value(128.0));
    EXPECT_EQ(number(make("ConvolutionFilter", args), "alpha"), 1);
    EXPECT_EQ(number(make("GlowFilter"), "color"), 0xff0000);
}

TEST_F(FilterScript, ClipFiltersHandOutCopiesAndKeepWhatTheDisplayCannotDraw) {
    EXPECT_EQ(number(vm().get(root(), "filters"), "length"), 0);
    const Value glow = make("GlowFilter", {Value(255.0)});
    const Value map = make("DisplacementMapFilter");
    vm().set(map, "scaleX", Value(12.0));
    std::vector<Value> items = {glow, Value(1.0), map};
    vm().set(root(), "filters", Value(vm().newArray(items)));
    // The display draws the glow; the number is skipped.
    const auto records = run_.host().filters(avm1trace::TraceHost::kRoot);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ(std::get<engine::GlowFilter>((*records)[0]).color, (engine::Rgba{0, 0, 255, 255}));
    const Value list = vm().get(root(), "filters");
    ASSERT_EQ(number(list, "length"), 2);
    const Value first = vm().get(list, "0");
    EXPECT_NE(first.asObject(), glow.asObject());
    EXPECT_EQ(number(first, "color"), 255);
    EXPECT_EQ(number(vm().get(list, "1"), "scaleX"), 12);
    // Changing a copy changes nothing drawn until it is set again.
    vm().set(first, "color", Value(0.0));
    EXPECT_EQ(number(vm().get(vm().get(root(), "filters"), "0"), "color"), 255);
    // Once the display's filters change behind the script's back, they are read from it.
    run_.host().setFilters(avm1trace::TraceHost::kRoot, {engine::BlurFilter{3, 5, 2}});
    const Value now = vm().get(root(), "filters");
    ASSERT_EQ(number(now, "length"), 1);
    EXPECT_EQ(number(vm().get(now, "0"), "blurY"), 5);
}

TEST_F(FilterScript, MapPointStoresBothCoordinatesBeforeAnErrorGoesOn) {
    const Value f = make("DisplacementMapFilter");
    Value point(vm().newObject());
    vm().set(point, "x", Value(3.5));
    vm().set(point, "y", Value(8.0));
    vm().set(f, "mapPoint", point);
    EXPECT_EQ(number(vm().get(f, "mapPoint"), "x"), 3);
    // A missing coordinate puts the point at the origin.
    Value half(vm().newObject());
    vm().set(half, "x", Value(1.0));
    vm().set(f, "mapPoint", half);
    EXPECT_EQ(number(vm().get(f, "mapPoint"), "x"), 0);
    // Each read makes a new point.
    EXPECT_NE(vm().get(f, "mapPoint").asObject(), vm().get(f, "mapPoint").asObject());
    Value bad(vm().newObject());
    vm().set(bad, "x", Value(kNaN));
    vm().set(bad, "y", Value(8.0));
    vm().set(f, "mapPoint", bad);
    EXPECT_EQ(number(vm().get(f, "mapPoint"), "x"), -2147483648.0);
    EXPECT_EQ(number(vm().get(f, "mapPoint"), "y"), 8);
}

TEST_F(FilterScript, ApplyFilterDrawsTheSourceAreaFilteredAtThePoint) {
    const Value display = vm().get(global("flash"), "display");
    const Value geom = vm().get(global("flash"), "geom");
    auto bitmap = [&](double w, double h, double fill) {
        return vm().construct(
            vm().get(display, "BitmapData"),
            std::vector<Value>{Value(w), Value(h), Value::boolean(true), Value(fill)});
    };
    auto rect = [&](double x, double y, double w, double h) {
        return vm().construct(vm().get(geom, "Rectangle"),
                              std::vector<Value>{Value(x), Value(y), Value(w), Value(h)});
    };
    auto point = [&](double x, double y) {
        return vm().construct(vm().get(geom, "Point"), std::vector<Value>{Value(x), Value(y)});
    };
    auto pixel = [&](const Value& b, double x, double y) {
        return static_cast<std::uint32_t>(
            vm().toInt32(call(b, "getPixel32", {Value(x), Value(y)})));
    };
    const Value src = bitmap(2, 1, -16776961.0);  // opaque blue
    const Value dst = bitmap(4, 1, 0.0);
    // Red and blue trade places.
    std::vector<Value> swap(20, Value(0.0));
    swap[2] = swap[6] = swap[10] = swap[18] = Value(1.0);
    const Value matrix = make("ColorMatrixFilter", {Value(vm().newArray(swap))});
    // (2, 0) of the area lies outside the source: only two pixels arrive, at x 1 and 2.
    EXPECT_EQ(vm().toNumber(call(dst, "applyFilter", {src, rect(0, 0, 3, 1), point(1, 0), matrix})),
              0);
    EXPECT_EQ(pixel(dst, 0, 0), 0u);
    EXPECT_EQ(pixel(dst, 1, 0), 0xffff0000u);
    EXPECT_EQ(pixel(dst, 2, 0), 0xffff0000u);
    EXPECT_EQ(pixel(dst, 3, 0), 0u);
    // A blur spreads a lone pixel within the area.
    const Value dot = bitmap(5, 5, 0.0);
    call(dot, "setPixel32", {Value(2.0), Value(2.0), Value(-1.0)});
    call(dot, "applyFilter",
         {dot, rect(0, 0, 5, 5), point(0, 0), make("BlurFilter", {Value(3.0), Value(3.0)})});
    EXPECT_LT(pixel(dot, 2, 2) >> 24, 255u);
    EXPECT_GT(pixel(dot, 1, 2) >> 24, 0u);
    // Anything but a filter the display can draw is refused.
    EXPECT_EQ(
        vm().toNumber(call(dst, "applyFilter",
                           {src, rect(0, 0, 1, 1), point(0, 0), make("DisplacementMapFilter")})),
        -5);
    EXPECT_EQ(vm().toNumber(call(dst, "applyFilter", {src, rect(0, 0, 1, 1), point(0, 0)})), -1);
}

}  // namespace
}  // namespace zd::avm1test
