// Corner cases of throws, with blocks, watchers, __resolve and version rules, and the
// flash.geom.Point class.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(Throws, ACatchDropsWhatTheTryBlockPushedButKeepsWhatItPopped) {
    // push "kept"; try { push "dropped"; throw "x" } catch { trace(top) }
    ActionWriter body;
    body.push({"dropped", "x"}).act(op::Throw);
    ActionWriter handler;
    handler.act(op::PushDuplicate).act(op::Trace);
    ActionWriter a;
    a.push({"kept"});
    a.tryBlock(body, &handler, nullptr, "e");
    a.act(op::Pop);
    // push 1, 2; try { pop; throw } catch { trace(top) }: the stack stays shorter.
    ActionWriter popper;
    popper.act(op::Pop).push({"x"}).act(op::Throw);
    a.push({1, 2});
    a.tryBlock(popper, &handler, nullptr, "e");
    EXPECT_EQ(traceOf(7, a), "kept\n1\n");
}

TEST(Throws, AnUncaughtThrowIsLoggedAndEndsTheBlock) {
    ActionWriter a;
    a.push({"Oh no!"}).act(op::Throw);
    a.trace("not reached");
    EXPECT_EQ(traceOf(7, a), "Warning: Uncaught exception, Oh no!\n");
}

TEST(Throws, AWatcherThatThrowsLeavesThePropertyUndefined) {
    // o = {v: 1}; o.watch("v", function () { throw "no" }); try { o.v = 2 } catch {}
    ActionWriter watcher;
    watcher.push({"no"}).act(op::Throw);
    ActionWriter nothing;
    ActionWriter assign;
    assign.getVariable("o").push({"v", 2}).act(op::SetMember);
    ActionWriter a;
    a.push({"o", "v", 1, 1}).act(op::InitObject).act(op::SetVariable);
    a.defineFunction("", {}, watcher).push({"v", 2}).getVariable("o").push({"watch"});
    a.act(op::CallMethod).act(op::Pop);
    a.tryBlock(assign, &nothing, nullptr, "e");
    a.getVariable("o").push({"v"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "undefined\n");
}

TEST(Watchers, AChainThroughEverNewPropertiesStopsTheScriptInsteadOfTheStack) {
    // Each watcher writes the next of 1500 watched properties: no property nests twice, so
    // only the bound on all nested calls or on the C++ stack ends the chain. Watchers do not
    // count toward the plain call limit, though sanitizer builds' large frames may meet the
    // stack bound before 256.
    ActionWriter watcher;  // function (name, old, val) { i = i + 1; o["p" + i] = val; }
    watcher.push({"i"}).getVariable("i").push({1}).act(op::Add2).act(op::SetVariable);
    watcher.getVariable("o").push({"p"}).getVariable("i").act(op::Add2);
    watcher.getVariable("val").act(op::SetMember);
    watcher.getVariable("val").act(op::Return);
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.defineFunction("w", {"name", "old", "val"}, watcher);
    a.setVariable("i", 0).setVariable("k", 0);
    const auto top = a.newLabel();
    const auto done = a.newLabel();
    a.bind(top);
    a.getVariable("k").push({1500}).act(op::Less2).act(op::Not).ifTrue(done);
    a.getVariable("w").push({"p"}).getVariable("k").act(op::Add2).push({2});
    a.getVariable("o").push({"watch"}).act(op::CallMethod).act(op::Pop);
    a.push({"k"}).getVariable("k").push({1}).act(op::Add2).act(op::SetVariable);
    a.jump(top);
    a.bind(done);
    a.getVariable("o").push({"p0", 1}).act(op::SetMember);
    a.trace("not reached");
    ActionWriter next;
    next.getVariable("i").act(op::Trace);
    ScriptRun run(7, std::vector<swfwriter::ActionBytes>{a.bytes(), next.bytes()});
    const std::string out = run.frames(2);
    ASSERT_EQ(out.find("not reached"), std::string::npos) << out;
    const int depth = std::stoi(out);
    EXPECT_GT(depth, 130);  // the watcher nesting the recordings show
    EXPECT_LT(depth, 1000);
}

TEST(WithBlocks, TopLevelVarWritesToAWithObjectThatOwnsTheName) {
    // m = {b: 20}; with (m) { var b = 10; var c = 10; } trace(m.b); trace(m.c); trace(c);
    ActionWriter body;
    body.push({"b", 10}).act(op::DefineLocal);
    body.push({"c", 10}).act(op::DefineLocal);
    ActionWriter a;
    a.push({"m", "b", 20, 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("m").with(body);
    a.getVariable("m").push({"b"}).act(op::GetMember).act(op::Trace);
    a.getVariable("m").push({"c"}).act(op::GetMember).act(op::Trace);
    a.getVariable("c").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "10\nundefined\n10\n");
}

TEST(Versions, FunctionsInSwf4MoviesFollowSwf5Rules) {
    ActionWriter body;
    body.push({1, 1}).act(op::Equals2).act(op::Trace);
    ActionWriter a;
    a.push({1, 1}).act(op::Equals2).act(op::Trace);
    a.defineFunction("f", {}, body);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    EXPECT_EQ(traceOf(4, a), "1\ntrue\n");
}

TEST(Versions, TraceBreaksLinesAtCarriageReturns) {
    ActionWriter a;
    a.trace("a\rb");
    EXPECT_EQ(traceOf(7, a), "a\nb\n");
}

TEST(Resolve, PrimitiveResolveValuesDeferToThePrototype) {
    // P = {__resolve: function (n) { return "from proto " + n }}; o = {__resolve: 42};
    // o.__proto__ = P; trace(o.missing)
    ActionWriter resolver;
    resolver.push({"from proto "}).getVariable("n").act(op::Add2).act(op::Return);
    ActionWriter a;
    a.push({"P", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("P").push({"__resolve"}).defineFunction("", {"n"}, resolver);
    a.act(op::SetMember);
    a.push({"o", "__resolve", 42, 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"__proto__"}).getVariable("P").act(op::SetMember);
    a.getVariable("o").push({"missing"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "from proto missing\n");
}

TEST(GlobalFunctions, IsNaNAndIsFiniteWithoutArgumentsSeeNoNumber) {
    ActionWriter a;
    a.push({0, "isNaN"}).act(op::CallFunction).act(op::Trace);
    a.push({0, "isFinite"}).act(op::CallFunction).act(op::Trace);
    // With undefined given, SWF 6 reads 0.
    a.push({Undefined{}, 1, "isFinite"}).act(op::CallFunction).act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "true\nfalse\ntrue\n");
}

TEST(GlobalFunctions, MathConvertsItsFirstTwoArgumentsInOrderAndUsesNoMore) {
    // o(n) is an object whose valueOf traces n and returns it.
    ActionWriter valueOf;
    valueOf.push({"this"}).act(op::GetVariable).push({"n"}).act(op::GetMember);
    valueOf.act(op::PushDuplicate).act(op::Trace).act(op::Return);
    ActionWriter a;
    a.push({"P", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("P").push({"valueOf"}).defineFunction("", {}, valueOf).act(op::SetMember);
    for (const char* name : {"a", "b"}) {
        a.push({name, "n", name[0] == 'a' ? 1 : 2, "__proto__"}).getVariable("P");
        a.push({2}).act(op::InitObject).act(op::SetVariable);
    }
    // Math.atan2(a, b) converts a first; Math.max(1, 2, 9) looks at 1 and 2 only.
    a.getVariable("b").getVariable("a").push({2}).getVariable("Math").push({"atan2"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({9, 2, 1, 3}).getVariable("Math").push({"max"}).act(op::CallMethod).act(op::Trace);
    EXPECT_EQ(traceOf(8, a), "1\n2\n2\n");
}

// new flash.geom.Point(...) left on the stack; args are pushed last argument first.
void newPoint(ActionWriter& a, std::initializer_list<swfwriter::PushItem> args, int count) {
    if (args.size() > 0) {
        a.push(args);
    }
    a.push({count});
    a.getVariable("flash").push({"geom"}).act(op::GetMember).push({"Point"});
    a.act(op::NewMethod);
}

TEST(Point, ArithmeticAndItsEdgeCases) {
    ActionWriter a;
    newPoint(a, {-100, 200}, 2);  // (200, -100)
    a.push({"p"}).act(op::StackSwap).act(op::SetVariable);
    // p.normalize(10); trace(p)
    a.push({10, 1}).getVariable("p").push({"normalize"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("p").act(op::Trace);
    // A point without length keeps its coordinates.
    newPoint(a, {}, 0);
    a.push({"z"}).act(op::StackSwap).act(op::SetVariable);
    a.push({10, 1}).getVariable("z").push({"normalize"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("z").act(op::Trace);
    // Point.distance needs a point first: a plain object has no subtract.
    a.getVariable("p").push({"x", 0, "y", 0, 2}).act(op::InitObject).push({2});
    a.getVariable("flash").push({"geom"}).act(op::GetMember).push({"Point"}).act(op::GetMember);
    a.push({"distance"}).act(op::CallMethod).act(op::Trace);
    // new Point(1): y is explicitly undefined.
    newPoint(a, {1}, 1);
    a.act(op::Trace);
    EXPECT_EQ(traceOf(8, a),
              "(x=8.94427190999916, y=-4.47213595499958)\n(x=0, y=0)\nundefined\n"
              "(x=1, y=undefined)\n");
}

TEST(Calls, AFunctionCalledByItsPathRunsAsAMethodOfWhereThePathEnds) {
    ActionWriter body;
    body.getVariable("this").push({"name"}).act(op::GetMember).act(op::Trace);
    ActionWriter a;
    // o = {name: "obj", f: function () { trace(this.name); }}; "o.f"();
    a.push({"o", "name", "obj", "f"}).defineFunction("", {}, body);
    a.push({2}).act(op::InitObject).act(op::SetVariable);
    a.push({0, "o.f"}).act(op::CallFunction).act(op::Pop);
    a.push({0, "_root.o.f"}).act(op::CallFunction).act(op::Pop);
    EXPECT_EQ(traceOf(7, a), "obj\nobj\n");
}

TEST(Versions, PackagesAndStyleSheetAreHiddenFromOlderMovies) {
    ActionWriter a;
    a.getVariable("flash").act(op::TypeOf).act(op::Trace);
    a.getVariable("TextField").push({"StyleSheet"}).act(op::GetMember).act(op::TypeOf);
    a.act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "undefined\nundefined\n");
    EXPECT_EQ(traceOf(7, a), "undefined\nfunction\n");
    EXPECT_EQ(traceOf(8, a), "object\nfunction\n");
}

}  // namespace
}  // namespace zd::avm1test
