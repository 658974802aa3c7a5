// Style sheets: what their text reader accepts and how a sheet keeps and converts styles.

#include <gtest/gtest.h>

#include <cmath>

#include "Avm1TestSupport.h"
#include "engine/avm1/StyleSheet.h"

namespace zd::avm1test {
namespace {

using avm1::parseCss;
using avm1::Value;

using Properties = std::vector<std::pair<std::string, std::string>>;

TEST(CssText, ReadsSelectorListsAndKeepsTrailingBlanksOfValues) {
    const auto rules = parseCss("a, b { kerning: 5 }\n  c{font-size:12px;}");
    ASSERT_TRUE(rules);
    ASSERT_EQ(rules->size(), 3u);
    EXPECT_EQ((*rules)[0].selector, "a");
    EXPECT_EQ((*rules)[1].selector, "b");
    EXPECT_EQ((*rules)[1].properties, (Properties{{"kerning", "5 "}}));
    EXPECT_EQ((*rules)[2].selector, "c");
    EXPECT_EQ((*rules)[2].properties, (Properties{{"fontSize", "12px"}}));
}

TEST(CssText, NamesRunToTheirColonAndLoseTheirDashes) {
    const auto rules = parseCss("a{;;key: v;;other: w;}x{name}y{:z}k{this--one: 1; UP-X: 2}");
    ASSERT_TRUE(rules);
    ASSERT_EQ(rules->size(), 3u);
    EXPECT_EQ((*rules)[0].properties, (Properties{{";;key", "v"}, {";other", "w"}}));
    EXPECT_EQ((*rules)[1].properties, (Properties{{"name}y{", "z"}}));
    EXPECT_EQ((*rules)[2].selector, "k");
    EXPECT_EQ((*rules)[2].properties, (Properties{{"this-one", "1"}, {"UPX", "2"}}));
    EXPECT_EQ(avm1::cssPropertyName("font-"), "font");
}

TEST(CssText, EndsInsideABlockOnlyBetweenProperties) {
    EXPECT_TRUE(parseCss("a{"));
    EXPECT_TRUE(parseCss("a{key:;"));
    EXPECT_TRUE(parseCss("a{:}"));
    EXPECT_EQ(parseCss("a{:}")->front().properties.size(), 0u);  // no name, no property
    EXPECT_FALSE(parseCss("a{key:"));
    EXPECT_FALSE(parseCss("a{key:value"));
    EXPECT_FALSE(parseCss("a{name}"));
    EXPECT_FALSE(parseCss("d{key: value;;}"));
}

TEST(CssText, RejectsWholeSheetsForOneBadPart) {
    EXPECT_FALSE(parseCss("one { color: blue; }; this isn't valid!"));
    EXPECT_FALSE(parseCss("long key { kerning: 5 }"));
    EXPECT_FALSE(parseCss("{color:}"));
    EXPECT_FALSE(parseCss("a,{color:red}"));
    EXPECT_FALSE(parseCss("key {property with space: value; }"));
    EXPECT_FALSE(parseCss("name"));
    const auto empty = parseCss("  \n ");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

class StyleSheets : public LibraryFixture {
  protected:
    Value sheet() { return vm().construct(vm().get(global("TextField"), "StyleSheet"), {}); }
    Value field(const Value& o, const char* name) { return vm().get(o, name); }
};

TEST_F(StyleSheets, KeepCopiesOfStylesAndForgetOnesSetToNothing) {
    const Value s = sheet();
    avm1::Object* style = vm().newObject();
    vm().set(Value(style), "color", str("#FF0000"));
    call(s, "setStyle", {str("Warn"), Value(style)});
    vm().set(Value(style), "color", str("#00FF00"));  // the sheet kept its own copy
    const Value got = call(s, "getStyle", {str("Warn")});
    EXPECT_EQ(text(field(got, "color")), "#FF0000");
    EXPECT_TRUE(call(s, "getStyle", {str("warn")}).isNull());
    const Value format = field(field(s, "_styles"), "Warn");
    EXPECT_EQ(vm().toNumber(field(format, "color")), 0xff0000);
    call(s, "setStyle", {str("Warn"), str("not a style")});
    EXPECT_TRUE(call(s, "getStyle", {str("Warn")}).isNull());
    EXPECT_TRUE(field(field(s, "_styles"), "Warn").isNull());
    EXPECT_EQ(vm().toNumber(field(call(s, "getStyleNames"), "length")), 1);  // still listed
}

TEST_F(StyleSheets, ParseMergesByNameAndChangesNothingWhenBroken) {
    const Value s = sheet();
    EXPECT_TRUE(vm().toBoolean(call(s, "parseCSS", {str("a{color:red}b{color:blue}")})));
    EXPECT_TRUE(vm().toBoolean(call(s, "parseCSS", {str("a{font-style:italic}")})));
    EXPECT_FALSE(vm().toBoolean(call(s, "parseCSS", {str("b{color:green} c")})));
    EXPECT_TRUE(field(call(s, "getStyle", {str("a")}), "color").isUndefined());
    EXPECT_EQ(text(field(call(s, "getStyle", {str("a")}), "fontStyle")), "italic");
    EXPECT_EQ(text(field(call(s, "getStyle", {str("b")}), "color")), "blue");
    EXPECT_EQ(vm().toNumber(field(call(s, "getStyleNames"), "length")), 2);
}

TEST_F(StyleSheets, TransformReadsCssValuesAsTheFormatTakesThem) {
    const Value s = sheet();
    EXPECT_TRUE(call(s, "transform", {Value::null()}).isNull());
    avm1::Object* style = vm().newObject();
    vm().set(Value(style), "fontSize", str("42px"));
    vm().set(Value(style), "marginLeft", str("-10"));
    vm().set(Value(style), "leading", str("prefix 10"));
    vm().set(Value(style), "letterSpacing", str("x"));
    vm().set(Value(style), "fontFamily", str("  A  ,, sans-serif"));
    vm().set(Value(style), "fontWeight", str("Bold"));  // keywords are matched exactly
    vm().set(Value(style), "textAlign", str("CENTER"));
    vm().set(Value(style), "display", str("inline"));
    const Value f = call(s, "transform", {Value(style)});
    EXPECT_EQ(vm().toNumber(field(f, "size")), 42);
    EXPECT_EQ(vm().toNumber(field(f, "leftMargin")), 0);
    EXPECT_EQ(vm().toNumber(field(f, "leading")), 0);
    EXPECT_TRUE(std::isnan(vm().toNumber(field(f, "letterSpacing"))));
    EXPECT_EQ(text(field(f, "font")), "A  ,_sans");
    EXPECT_TRUE(field(f, "bold").isNull());
    EXPECT_EQ(text(field(f, "align")), "center");
    EXPECT_EQ(text(field(f, "display")), "inline");
    EXPECT_FALSE(vm().toBoolean(field(f, "kerning")));
    EXPECT_TRUE(field(f, "color").isNull());
}

}  // namespace
}  // namespace zd::avm1test
