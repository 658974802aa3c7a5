// Library and interpreter rules observed in movies: number parsing, sort flags, string
// positions, native classes extended by scripts, super(), the stack shared by frame scripts,
// watchers over accessors, looping prototype chains and paths in var declarations.

#include <gtest/gtest.h>

#include <cmath>

#include "Avm1TestSupport.h"
#include "engine/avm1/Strings.h"

namespace zd::avm1test {
namespace {

using avm1::Value;

TEST(ParseFloatText, SumsFractionDigitByDigitAndWrapsTheExponent) {
    // The last bit differs from the nearest double, as scripts compare it.
    EXPECT_EQ(avm1::parseFloatText(".1499999"), 0.14999990000000005);
    EXPECT_EQ(avm1::parseFloatText(" \t\r\n12345"), 12345);
    EXPECT_EQ(avm1::parseFloatText("-0012.5xyz"), -12.5);
    // 4294967297 wraps to 1.
    EXPECT_EQ(avm1::parseFloatText("1e4294967297"), 10);
    EXPECT_EQ(avm1::parseFloatText("9e99999"), INFINITY);
    // A second point is skipped and ends any exponent.
    EXPECT_NEAR(avm1::parseFloatText("1.2345.6e50"), 1.23456, 1e-12);
    EXPECT_EQ(avm1::parseFloatText("10e-"), 10);
    EXPECT_TRUE(std::isnan(avm1::parseFloatText("e10")));
    EXPECT_TRUE(std::isnan(avm1::parseFloatText("-")));
    EXPECT_TRUE(std::isnan(avm1::parseFloatText("Infinity")));
}

TEST(DisplayText, LoneSurrogatesBecomeReplacementCharacters) {
    const std::string lone = avm1::fromUtf16(u"a\xd801z");
    EXPECT_EQ(avm1::displayText(lone), "a\xef\xbf\xbdz");
    // Halves stored apart meet again when shown.
    const std::string halves = avm1::fromUtf16(u"\xd835") + avm1::fromUtf16(u"\xdd04");
    EXPECT_EQ(avm1::displayText(halves), "\xf0\x9d\x94\x84");
    EXPECT_EQ(avm1::displayText("plain"), "plain");
}

TEST(Strings, CaseMappingCoversUnicodeLetters) {
    EXPECT_EQ(avm1::toLowerCase("\xc5\x81\xce\xa3\xd0\x96"), "\xc5\x82\xcf\x83\xd0\xb6");  // ŁΣЖ
    EXPECT_EQ(avm1::toUpperCase("\xc3\xbf"), "\xc5\xb8");                                  // ÿ Ÿ
    // Georgian capitals lower to the everyday alphabet, whose letters stay in upper case.
    EXPECT_EQ(avm1::toLowerCase("\xe1\x82\xa0"), "\xe1\x83\x90");
    EXPECT_EQ(avm1::toUpperCase("\xe1\x83\x90"), "\xe1\x83\x90");
}

// trace([items].sort(args...))
std::string sorted(std::initializer_list<swfwriter::PushItem> items,
                   std::initializer_list<swfwriter::PushItem> args, int version = 8) {
    ActionWriter a;
    a.push(args).push({static_cast<int>(args.size())});
    a.push(items).push({static_cast<int>(items.size())}).act(op::InitArray);
    a.push({"sort"}).act(op::CallMethod).act(op::Trace);
    return traceOf(version, a);
}

TEST(ArraySort, FlagsAndComparatorArguments) {
    // NUMERIC puts NaN after every number, -Infinity first. Items push in reverse.
    EXPECT_EQ(sorted({NAN, INFINITY, 4.0, -INFINITY, NAN, 1.0}, {16}),
              "-Infinity,1,4,Infinity,NaN,NaN\n");
    // A first argument that is no function gives way to the flags after it.
    EXPECT_EQ(sorted({1, 3, 2}, {16, 2}), "1,2,3\n");
    EXPECT_EQ(sorted({1, 3, 2}, {Undefined{}, 2}), "3,2,1\n");
    // Neither function nor number: sorted by default, not refused.
    EXPECT_EQ(sorted({"a", "b"}, {"x"}), "a,b\n");
    // CASEINSENSITIVE folds ASCII letters only: Ë stays before ë.
    EXPECT_EQ(sorted({"h\xc3\xabllo", "H\xc3\x8bLLO"}, {1}), "H\xc3\x8bLLO,h\xc3\xabllo\n");
}

TEST(ArraySort, UndefinedNullOrABooleanFirstSortsNothing) {
    EXPECT_EQ(sorted({1, 2}, {Undefined{}}), "undefined\n");
    EXPECT_EQ(sorted({1, 2}, {0, true}), "undefined\n");  // sort(true, 0)
    EXPECT_EQ(sorted({1, 2}, {0, Null{}}), "undefined\n");
    // NUMERIC orders two numbers by value, anything else by its text.
    EXPECT_EQ(sorted({"22", 3, 4}, {16}), "22,3,4\n");
}

TEST(ArraySort, SortOnTakesWhatToReturnFromTheFirstFieldsFlags) {
    // [{n: 1}, {n: 1}].sortOn(["n"], [UNIQUESORT]) finds a duplicate: 0.
    ActionWriter a;
    a.push({4, 1}).act(op::InitArray);
    a.push({"n", 1}).act(op::InitArray);
    a.push({2});
    a.push({"n", 1, 1}).act(op::InitObject);
    a.push({"n", 1, 1}).act(op::InitObject);
    a.push({2}).act(op::InitArray);
    a.push({"sortOn"}).act(op::CallMethod).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "0\n");
}

// s.method(args...) traced, s = "Hello".
std::string stringCall(const char* method, std::initializer_list<swfwriter::PushItem> args) {
    ActionWriter a;
    a.push(args).push({static_cast<int>(args.size()), "Hello", method});
    a.act(op::CallMethod).act(op::Trace);
    return traceOf(8, a);
}

TEST(StringMethods, PositionsWrapAsIntegersAndMissingArgumentsGiveUndefined) {
    EXPECT_EQ(stringCall("charAt", {4294967297.0}), "e\n");
    EXPECT_EQ(stringCall("slice", {4294967298.0, 4294967296.0}), "He\n");
    EXPECT_EQ(stringCall("indexOf", {}), "undefined\n");
    EXPECT_EQ(stringCall("substr", {}), "undefined\n");
    EXPECT_EQ(stringCall("substring", {}), "undefined\n");
    // Past the end even the empty string is not found.
    EXPECT_EQ(stringCall("indexOf", {100, ""}), "-1\n");
    EXPECT_EQ(stringCall("indexOf", {5, ""}), "5\n");
}

// function Sub() { super(args) }; Sub extends Base; o = new Sub()
ActionWriter subclassOf(const char* base, std::initializer_list<swfwriter::PushItem> superArgs) {
    ActionWriter ctor;
    ctor.push(superArgs).push({static_cast<int>(superArgs.size())});
    ctor.getVariable("super").push({Undefined{}}).act(op::CallMethod).act(op::Pop);
    ActionWriter a;
    a.defineFunction("Sub", {}, ctor);
    a.getVariable("Sub").getVariable(base).act(op::Extends);
    a.push({"o", 0, "Sub"}).act(op::NewObject).act(op::SetVariable);
    return a;
}

TEST(NativeSubclasses, InstancesOfScriptClassesGetTheNativeStorage) {
    // An Array subclass keeps its length as arrays do.
    ActionWriter a = subclassOf("Array", {});
    a.getVariable("o").push({3, "x"}).act(op::SetMember);
    a.getVariable("o").push({"length"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").push({"Array"}).act(op::GetVariable).act(op::InstanceOf).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "4\ntrue\n");

    // super(0) into Date sets the time.
    ActionWriter d = subclassOf("Date", {0});
    d.push({0}).getVariable("o").push({"getTime"}).act(op::CallMethod).act(op::Trace);
    EXPECT_EQ(traceOf(8, d), "0\n");
}

TEST(Super, SuperCallFromAMethodSkipsTheObjectsOwnConstructor) {
    // obj = {__constructor__: f, m: function () { trace(super()) }}; obj.m()
    ActionWriter ctor;
    ctor.trace("constructor called").push({"made"}).act(op::Return);
    ActionWriter method;
    method.push({0}).getVariable("super").push({Undefined{}}).act(op::CallMethod);
    method.act(op::Trace);
    ActionWriter a;
    a.push({"obj", "__constructor__"}).defineFunction("", {}, ctor);
    a.push({"m"}).defineFunction("", {}, method);
    a.push({2}).act(op::InitObject).act(op::SetVariable);
    a.push({0}).getVariable("obj").push({"m"}).act(op::CallMethod).act(op::Pop);
    EXPECT_EQ(traceOf(7, a), "undefined\n");
}

TEST(SharedStack, FrameScriptsSeeWhatEarlierOnesLeft) {
    ActionWriter first;
    first.push({"left behind"});
    ActionWriter second;
    second.act(op::Trace).act(op::Trace);
    ScriptRun run(8, {first.bytes(), second.bytes()});
    EXPECT_EQ(run.frames(2), "left behind\nundefined\n");
}

TEST(Watchers, OldValueOfAnAccessorIsTheValueItReplaced) {
    // o = {x: 3}; o.addProperty("x", get, set); p = {__proto__: o};
    // p.watch("x", function (n, old, v) { trace("old " + old); return v }); p.x = 4
    ActionWriter getter;
    getter.trace("getter ran");
    ActionWriter setter;
    setter.trace("setter ran");
    ActionWriter watcher;
    watcher.push({"old "}).getVariable("old").act(op::Add2).act(op::Trace);
    watcher.getVariable("v").act(op::Return);
    ActionWriter a;
    a.push({"o", "x", 3, 1}).act(op::InitObject).act(op::SetVariable);
    a.defineFunction("", {}, setter).defineFunction("", {}, getter).push({"x", 3});
    a.getVariable("o").push({"addProperty"}).act(op::CallMethod).act(op::Pop);
    a.push({"p", "__proto__"}).getVariable("o").push({1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.defineFunction("", {"n", "old", "v"}, watcher).push({"x", 2});
    a.getVariable("p").push({"watch"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("p").push({"x", 4}).act(op::SetMember);
    EXPECT_EQ(traceOf(7, a), "old 3\nsetter ran\n");
}

TEST(Prototypes, ReadingThroughALoopingChainStopsTheScript) {
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"__proto__"}).getVariable("o").act(op::SetMember);
    a.trace("before");
    a.getVariable("o").push({"missing"}).act(op::GetMember).act(op::Trace);
    a.trace("after");
    ScriptRun run(7, a);
    EXPECT_EQ(run.frames(1), "before\n");
    // The next frame's scripts run again.
    EXPECT_FALSE(run.host().errors.empty());
}

TEST(ClipToString, AnObjectThatIsNoFunctionIsNotCalled) {
    // _root.toString = {}; trace(_root) must neither crash nor call it.
    ActionWriter a;
    a.getVariable("_root").push({"toString", 0}).act(op::InitObject).act(op::SetMember);
    a.getVariable("_root").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "[type Object]\n");
}

TEST(DefineLocal, PathsAreFollowedOutsideFunctionsOnly) {
    // var _root.a = 1 at the top level writes _root.a; inside a function the whole name
    // is a variable of the timeline, and _root.b stays unset.
    ActionWriter body;
    body.push({"_root.b", 2}).act(op::DefineLocal);
    ActionWriter a;
    a.push({"_root.a", 1}).act(op::DefineLocal);
    a.defineFunction("f", {}, body);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    a.getVariable("_root").push({"a"}).act(op::GetMember).act(op::Trace);
    a.getVariable("_root").push({"b"}).act(op::GetMember).act(op::Trace);
    a.getVariable("_root").push({"_root.b"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "1\nundefined\n2\n");
}

TEST(Broadcaster, AnEmptyMessageCallsEachListenerItself) {
    // b = {}; AsBroadcaster.initialize(b); b.addListener(f); b.broadcastMessage("")
    ActionWriter listener;
    listener.trace("listener called");
    ActionWriter a;
    a.push({"b", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("b").push({1}).getVariable("AsBroadcaster").push({"initialize"});
    a.act(op::CallMethod).act(op::Pop);
    a.defineFunction("", {}, listener).push({1}).getVariable("b").push({"addListener"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({"", 1}).getVariable("b").push({"broadcastMessage"}).act(op::CallMethod);
    a.act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "listener called\ntrue\n");
}

}  // namespace
}  // namespace zd::avm1test
