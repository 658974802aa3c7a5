// Conversion and comparison rules that are easy to get subtly wrong, and the flash.geom
// Matrix and ColorTransform classes.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"
#include "engine/avm1/Strings.h"

namespace zd::avm1test {
namespace {

using avm1::Value;

int valueOfCalls = 0;

Value countingValueOf(avm1::Vm&, const avm1::CallInfo&) {
    ++valueOfCalls;
    return Value(1.0);
}

class CoreRules : public LibraryFixture {
  protected:
    Value geom(const char* cls, std::vector<Value> args = {}) {
        const Value flash = global("flash");
        return vm().construct(vm().get(vm().get(flash, "geom"), cls), args);
    }
    double num(const Value& v) { return vm().toNumber(v); }
};

TEST_F(CoreRules, AnObjectWithoutAPrimitiveComparesFalseWithoutConvertingTheOtherSide) {
    avm1::Object* counted = vm().newObject();
    vm().defineNative(counted, "valueOf", countingValueOf);
    valueOfCalls = 0;
    const Value plain(vm().newObject());
    EXPECT_FALSE(vm().lessThan(plain, Value(counted)).isUndefined());
    EXPECT_FALSE(vm().lessThan(plain, Value(counted)).boolean());
    EXPECT_EQ(valueOfCalls, 0);
    EXPECT_TRUE(vm().lessThan(Value(0.0), Value(counted)).boolean());
    EXPECT_EQ(valueOfCalls, 1);
    // A NaN still makes the result undefined.
    EXPECT_TRUE(vm().lessThan(Value(0.0), str("x")).isUndefined());
}

int getterCalls = 0;

Value selfReadingGetter(avm1::Vm& vm, const avm1::CallInfo& c) {
    ++getterCalls;
    return vm.get(c.thisValue, "p");
}

TEST_F(CoreRules, AGetterThatReadsItselfStopsQuietlyAtItsDepthLimit) {
    avm1::Object* o = vm().newObject();
    vm().defineAccessor(o, "p", selfReadingGetter, nullptr, 0);
    getterCalls = 0;
    EXPECT_TRUE(vm().get(Value(o), "p").isUndefined());
    EXPECT_EQ(getterCalls, 65);
    getterCalls = 0;
    vm().get(Value(o), "p");  // the depth count went back down
    EXPECT_EQ(getterCalls, 65);
}

TEST_F(CoreRules, OnlyAStringFromToStringStands) {
    avm1::Object* o = vm().newObject();
    vm().defineNative(o, "toString", countingValueOf);  // gives a number
    EXPECT_EQ(text(Value(o)), "[type Object]");
}

TEST_F(CoreRules, APrimitiveStoredAsProtoReadsBackAndDeletes) {
    const Value o(vm().newObject());
    vm().set(o, "__proto__", Value(123.0));
    EXPECT_EQ(num(vm().get(o, "__proto__")), 123);
    EXPECT_EQ(o.object()->proto(), nullptr);
    EXPECT_TRUE(vm().enumerate(o.object()).empty());
    EXPECT_TRUE(vm().remove(o.object(), vm().intern("__proto__")));
    EXPECT_TRUE(vm().get(o, "__proto__").isUndefined());
}

TEST(CoreScripts, CallWithoutAThisRunsOnGlobal) {
    // function f() { return this } trace(f.call(null) === _global)
    ActionWriter body;
    body.push({"this"}).act(op::GetVariable).act(op::Return);
    ActionWriter a;
    a.defineFunction("f", {}, body);
    a.push({Null{}, 1, "f"}).act(op::GetVariable).push({"call"}).act(op::CallMethod);
    a.push({"_global"}).act(op::GetVariable).act(op::StrictEquals).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "true\n");
}

TEST_F(CoreRules, ParseIntPrefixesAndRadix) {
    auto parse = [&](const char* s, std::vector<Value> radix = {}) {
        std::vector<Value> args{str(s)};
        args.insert(args.end(), radix.begin(), radix.end());
        return text(vm().call(global("parseInt"), Value(), args));
    };
    EXPECT_EQ(parse("0x-100"), "-256");  // a sign may follow the hex prefix
    EXPECT_EQ(parse("-0x100"), "NaN");   // but not come before it
    EXPECT_EQ(parse("077"), "63");
    EXPECT_EQ(parse(" 077"), "77");  // white space first: no octal
    EXPECT_EQ(parse("100", {Value()}), "NaN");
    EXPECT_EQ(parse("11", {Value(3.8)}), "4");
    EXPECT_TRUE(vm().call(global("parseInt"), Value(), {}).isUndefined());
}

TEST(CoreText, SurrogatesInThreeBytesOrderAboveTheBasicPlane) {
    const std::string halfwidth = "\xef\xbd\xa1";                // U+FF61
    const std::string encodedPair = "\xed\xa0\x80\xed\xb0\x82";  // D800 DC02, 3 bytes each
    const std::string fourBytes = "\xf0\x90\x80\x82";            // U+10002
    EXPECT_TRUE(avm1::textLess(halfwidth, encodedPair));
    EXPECT_FALSE(avm1::textLess(encodedPair, halfwidth));
    EXPECT_TRUE(avm1::textLess(halfwidth, fourBytes));
    EXPECT_TRUE(avm1::textLess("A", "B"));
}

TEST(CoreScripts, WithSkipsItsBlockForNothingAndBoxesPrimitives) {
    ActionWriter skipped;
    skipped.trace("inside");
    ActionWriter boxed;
    boxed.push({"length"}).act(op::GetVariable).act(op::Trace);
    ActionWriter a;
    a.push({Undefined{}}).with(skipped);
    a.push({"abc"}).with(boxed);
    a.trace("after");
    EXPECT_EQ(traceOf(7, a), "3\nafter\n");
}

TEST(CoreScripts, EnumerationEndsWithUndefined) {
    ActionWriter a;
    a.push({"a", 1, 1}).act(op::InitObject).act(op::Enumerate2);
    a.act(op::Pop).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "undefined\n");
}

TEST(CoreScripts, Swf5ComparesBoxedValuesButSwf6Identities) {
    ActionWriter a;
    a.push({1, 1, "Number"}).act(op::NewObject);
    a.push({1, 1, "Number"}).act(op::NewObject);
    a.act(op::Equals2).act(op::Trace);
    EXPECT_EQ(traceOf(5, a), "true\n");
    EXPECT_EQ(traceOf(6, a), "false\n");
}

TEST_F(CoreRules, MatrixInvertConcatAndGradientBox) {
    const Value m =
        geom("Matrix", {Value(2.0), Value(3.0), Value(5.0), Value(7.0), Value(9.0), Value(11.0)});
    call(m, "invert");
    EXPECT_EQ(text(m), "(a=-7, b=3, c=5, d=-2, tx=8, ty=-5)");
    const Value scale =
        geom("Matrix", {Value(2.0), Value(0.0), Value(0.0), Value(2.0), Value(1.0), Value(1.0)});
    const Value id = geom("Matrix");
    call(id, "concat", {scale});
    EXPECT_EQ(text(id), "(a=2, b=0, c=0, d=2, tx=1, ty=1)");
    call(id, "createGradientBox", {Value(200.0), Value(300.0)});
    EXPECT_EQ(text(id), "(a=0.1220703125, b=0, c=0, d=0.18310546875, tx=100, ty=150)");
}

TEST_F(CoreRules, ColorTransformRgbConcatAndBadArguments) {
    const Value ct = geom("ColorTransform");
    vm().set(ct, "rgb", Value(2109504.0));  // 0x203040
    EXPECT_EQ(num(vm().get(ct, "redOffset")), 0x20);
    EXPECT_EQ(num(vm().get(ct, "redMultiplier")), 0);
    EXPECT_EQ(num(vm().get(ct, "alphaMultiplier")), 1);
    EXPECT_EQ(num(vm().get(ct, "rgb")), 2109504);
    vm().set(ct, "rgb", Value(4294967296.0 + 5));  // wraps as a 32-bit integer
    EXPECT_EQ(num(vm().get(ct, "blueOffset")), 5);
    const Value half = geom("ColorTransform", {Value(0.5), Value(0.5), Value(0.5), Value(0.5),
                                               Value(10.0), Value(20.0), Value(30.0), Value(40.0)});
    const Value other =
        geom("ColorTransform", {Value(0.5), Value(0.5), Value(0.5), Value(0.5), Value(50.0),
                                Value(60.0), Value(70.0), Value(80.0)});
    call(half, "concat", {other});
    EXPECT_EQ(num(vm().get(half, "redOffset")), 35);
    EXPECT_EQ(num(vm().get(half, "redMultiplier")), 0.25);
    call(half, "concat", {Value(vm().newObject())});  // not a transform: nothing changes
    EXPECT_EQ(num(vm().get(half, "alphaOffset")), 80);
    vm().set(half, "greenMultiplier", str("x"));
    EXPECT_EQ(text(vm().get(half, "greenMultiplier")), "NaN");
}

TEST_F(CoreRules, PrintJobNeverStartsAndItsSizesAreReadOnly) {
    const Value job = construct("PrintJob");
    EXPECT_FALSE(vm().toBoolean(call(job, "start")));
    vm().set(job, "pageWidth", Value(100.0));
    EXPECT_EQ(num(vm().get(job, "pageWidth")), 0);
}

}  // namespace
}  // namespace zd::avm1test
