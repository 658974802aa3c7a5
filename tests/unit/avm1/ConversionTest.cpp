// Number printing and the conversions between types, as they differ by movie version.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Avm1TestSupport.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Value.h"

namespace zd::avm1test {
namespace {

using avm1::numberToString;
using avm1::stringToNumber;

TEST(NumberPrinting, FifteenSignificantDigitsAndExponentForms) {
    EXPECT_EQ(numberToString(0.1 + 0.2), "0.3");
    EXPECT_EQ(numberToString(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(numberToString(123456789012345.0), "123456789012345");
    EXPECT_EQ(numberToString(1e15), "1e+15");
    EXPECT_EQ(numberToString(8.64e15), "8.64e+15");
    EXPECT_EQ(numberToString(-2.2222222222222222e16), "-2.22222222222222e+16");
    EXPECT_EQ(numberToString(5e-25), "5e-25");
    EXPECT_EQ(numberToString(1.010101e-13), "1.010101e-13");
    EXPECT_EQ(numberToString(-22222222.222222222), "-22222222.2222222");
    EXPECT_EQ(numberToString(12345.6789), "12345.6789");
    EXPECT_EQ(numberToString(0.5), "0.5");
    EXPECT_EQ(numberToString(-1.5), "-1.5");
}

TEST(NumberPrinting, SpecialValues) {
    EXPECT_EQ(numberToString(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(numberToString(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(numberToString(-std::numeric_limits<double>::infinity()), "-Infinity");
    EXPECT_EQ(numberToString(-0.0), "0");
    EXPECT_EQ(numberToString(0.0), "0");
}

TEST(NumberPrinting, Radix) {
    EXPECT_EQ(avm1::numberToStringRadix(255, 16), "ff");
    EXPECT_EQ(avm1::numberToStringRadix(-255, 2), "-11111111");
    EXPECT_EQ(avm1::numberToStringRadix(35, 36), "z");
    // Out-of-range radixes print in base 10.
    EXPECT_EQ(avm1::numberToStringRadix(10, 99), "10");
}

TEST(StringToNumber, DecimalHexOctalAndJunk) {
    EXPECT_EQ(stringToNumber("  42", 7), 42);
    EXPECT_TRUE(std::isnan(stringToNumber("42  ", 7)));  // trailing white space is not a number
    EXPECT_EQ(stringToNumber("-1.5e3", 7), -1500);
    EXPECT_EQ(stringToNumber("0x96", 7), 150);
    EXPECT_EQ(stringToNumber("010", 7), 8);
    EXPECT_EQ(stringToNumber("08", 7), 8);  // not octal: read as decimal
    EXPECT_TRUE(std::isnan(stringToNumber("150a", 7)));
    EXPECT_TRUE(std::isnan(stringToNumber("1e", 7)));
    EXPECT_TRUE(std::isnan(stringToNumber("0xfg", 7)));
    // Hex wraps as a signed 32-bit integer.
    EXPECT_EQ(stringToNumber("0xffffffff", 7), -1);
    // Long hex keeps its low 32 bits exactly; octal wraps the same way, before the sign.
    EXPECT_EQ(stringToNumber("0x1999999981ffffff", 7), -2113929217);
    EXPECT_EQ(stringToNumber("037777777777", 6), -1);
    EXPECT_EQ(stringToNumber("-037777777777", 6), 1);
    // Leading white space makes the text decimal.
    EXPECT_EQ(stringToNumber(" 010", 6), 10);
    EXPECT_EQ(stringToNumber(" -010", 6), -10);
    EXPECT_EQ(stringToNumber("-010", 6), -8);
}

TEST(StringToNumber, EmptyStringDependsOnVersion) {
    EXPECT_TRUE(std::isnan(stringToNumber("", 5)));
    EXPECT_EQ(stringToNumber("", 4), 0);
    EXPECT_EQ(stringToNumber("   ", 4), 0);
}

TEST(IntegerConversion, WrapsModulo2To32) {
    EXPECT_EQ(avm1::toInt32(4294967296.0 + 5), 5);
    EXPECT_EQ(avm1::toInt32(2147483648.0), -2147483648);
    EXPECT_EQ(avm1::toInt32(-1.9), -1);
    EXPECT_EQ(avm1::toUint32(-1), 4294967295u);
    EXPECT_EQ(avm1::toInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(avm1::toInt32(std::numeric_limits<double>::infinity()), 0);
}

TEST(Utf16Strings, LengthAndSubstringCountCodeUnits) {
    const std::string s = "h\xc3\xa9llo \xf0\x9f\x98\x80";  // héllo + an emoji (two units)
    EXPECT_EQ(avm1::utf16Length(s), 8u);
    EXPECT_EQ(avm1::substringUtf16(s, 1, 4), "\xc3\xa9llo");
    EXPECT_EQ(avm1::substringUtf16(s, -3, 1), "h");
    EXPECT_EQ(avm1::substringUtf16(s, 100, 1), "");
    EXPECT_EQ(avm1::toUpperCase("h\xc3\xa9llo"), "H\xc3\x89LLO");
}

TEST(Utf16Strings, OldMovieTextReadsTheWindowsCodePage) {
    EXPECT_EQ(avm1::fromWindows1252("plain"), "plain");
    // Latin-1 above 0xA0, typographic marks (euro, dashes, quotes) below it.
    EXPECT_EQ(avm1::fromWindows1252("\xc5\xff"), "\xc3\x85\xc3\xbf");
    EXPECT_EQ(avm1::fromWindows1252("\x80\x96\x93"), "\xe2\x82\xac\xe2\x80\x93\xe2\x80\x9c");
    const std::string control = std::string("a\x81") + "b";  // unassigned: kept as C1
    EXPECT_EQ(avm1::toUtf16(avm1::fromWindows1252(control)).size(), 3u);
    EXPECT_EQ(avm1::codePageLength(avm1::fromWindows1252("\xc5\x80")), 4u);
}

TEST(UrlEncoding, EscapeRoundTripsAndFormEncodingUsesPlus) {
    EXPECT_EQ(avm1::escape("a b&c=\xc3\xa9"), "a%20b%26c%3D%C3%A9");
    EXPECT_EQ(avm1::unescape(avm1::escape("x y/z?")), "x y/z?");
    // A broken escape swallows up to its first non-hex character; '+' is a space.
    EXPECT_EQ(avm1::unescape("%zz%4"), "z");
    EXPECT_EQ(avm1::unescape("a%4zb+c%"), "ab c");
    EXPECT_EQ(avm1::urlEncode("a b"), "a+b");
    EXPECT_EQ(avm1::urlDecode("a+b%21"), "a b!");
}

// Undefined prints as "undefined" from SWF 7 on, as an empty string before; trace() prints
// "undefined" in every version.
TEST(ScriptConversions, UndefinedToStringByVersion) {
    ActionWriter a;
    a.push({"[", Undefined{}}).act(op::Add2).push({"]"}).act(op::Add2).act(op::Trace);
    a.push({Undefined{}}).act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "[]\nundefined\n");
    EXPECT_EQ(traceOf(7, a), "[undefined]\nundefined\n");
}

TEST(ScriptConversions, UndefinedToNumberByVersion) {
    ActionWriter a;
    a.push({Undefined{}, 1}).act(op::Add2).act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "1\n");
    EXPECT_EQ(traceOf(7, a), "NaN\n");
}

TEST(ScriptConversions, Swf4ArithmeticReadsTextAsNumbers) {
    ActionWriter a;
    a.push({"ab", "cd"}).act(op::Add).act(op::Trace);  // SWF 4 add: numeric
    a.push({"300", "0x96"}).act(op::Add).act(op::Trace);
    a.push({1, 0}).act(op::Divide).act(op::Trace);
    a.push({2, 1}).act(op::Less).act(op::Trace);  // 1 or 0 in SWF 4, a boolean later
    EXPECT_EQ(traceOf(4, a), "0\n300\n#ERROR#\n0\n");
    EXPECT_EQ(traceOf(7, a), "NaN\n450\nInfinity\nfalse\n");
}

TEST(ScriptConversions, Add2ConcatenatesWhenEitherSideIsText) {
    ActionWriter a;
    a.push({1, "2"}).act(op::Add2).act(op::Trace);
    a.push({true, 1}).act(op::Add2).act(op::Trace);
    a.push({Null{}, "x"}).act(op::Add2).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "12\n2\nnullx\n");
}

TEST(ScriptConversions, StringComparisonAndEquality) {
    ActionWriter a;
    a.push({"10", "9"}).act(op::Less2).act(op::Trace);  // both text: compared as text
    a.push({10, "9"}).act(op::Less2).act(op::Trace);    // a number: compared as numbers
    a.push({"a", 1}).act(op::Less2).act(op::Trace);     // NaN takes part: undefined
    a.push({"1", 1}).act(op::Equals2).act(op::Trace);
    a.push({"1", 1}).act(op::StrictEquals).act(op::Trace);
    a.push({Null{}, Undefined{}}).act(op::Equals2).act(op::Trace);
    a.push({Null{}, 0}).act(op::Equals2).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "true\nfalse\nundefined\ntrue\nfalse\ntrue\nfalse\n");
}

TEST(ScriptConversions, TypeOf) {
    ActionWriter a;
    for (const swfwriter::PushItem& v :
         {swfwriter::PushItem{1}, swfwriter::PushItem{"s"}, swfwriter::PushItem{true},
          swfwriter::PushItem{Null{}}, swfwriter::PushItem{Undefined{}}}) {
        a.push({v}).act(op::TypeOf).act(op::Trace);
    }
    a.push({0}).act(op::InitObject).act(op::TypeOf).act(op::Trace);
    a.push({"_root"}).act(op::GetVariable).act(op::TypeOf).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "number\nstring\nboolean\nnull\nundefined\nobject\nmovieclip\n");
}

TEST(ScriptConversions, ValueOfWinsForNumbersEvenWhenItReturnsAnObject) {
    // o = {}; trace(o + 1) -> valueOf gives o itself, so the sum is NaN; o + "x" prints
    // through toString.
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({1}).act(op::Add2).act(op::Trace);
    a.getVariable("o").push({"x"}).act(op::Add2).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "NaN\n[object Object]x\n");
}

TEST(StringJoin, HalvesOfASurrogatePairJoinIntoOneCharacter) {
    const std::string emoji = "\xF0\x9F\x98\x9C";
    const std::u16string units = avm1::toUtf16(emoji);
    ASSERT_EQ(units.size(), 2u);
    const std::string high = avm1::fromUtf16(units.substr(0, 1));
    const std::string low = avm1::fromUtf16(units.substr(1, 1));
    EXPECT_EQ(avm1::joinText("a" + high, low + "b"), "a" + emoji + "b");
    EXPECT_EQ(avm1::joinText(low, high), low + high);  // the wrong order stays apart
    EXPECT_EQ(avm1::joinText("x", ""), "x");
}

}  // namespace
}  // namespace zd::avm1test
