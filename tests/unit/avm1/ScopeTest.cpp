// Variables, scopes and `this`: locals, closures, with blocks, paths, names by version.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(Scope, FunctionLocalsDoNotLeakAndUndeclaredAssignmentsGoToTheTimeline) {
    // function f() { var a = 1; b = 2; } f(); trace(a); trace(b);
    ActionWriter body;
    body.push({"a", 1}).act(op::DefineLocal);
    body.push({"b", 2}).act(op::SetVariable);
    ActionWriter a;
    a.defineFunction("f", {}, body);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    a.getVariable("a").act(op::Trace);
    a.getVariable("b").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "undefined\n2\n");
}

TEST(Scope, ParametersShadowTimelineVariables) {
    ActionWriter body;
    body.getVariable("x").act(op::Trace);
    ActionWriter a;
    a.setVariable("x", "timeline");
    a.defineFunction("f", {"x"}, body);
    a.push({"param", 1, "f"}).act(op::CallFunction).act(op::Pop);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);  // missing argument: undefined
    a.getVariable("x").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "param\nundefined\ntimeline\n");
}

TEST(Scope, ClosuresSeeTheVariablesOfTheirDefiningCall) {
    // function outer() { var n = 10; return function () { n++; return n; }; }
    // var c = outer(); trace(c()); trace(c());
    ActionWriter inner;
    inner.getVariable("n").act(op::Increment);
    inner.push({"n"}).act(op::StackSwap).act(op::SetVariable);
    inner.getVariable("n").act(op::Return);
    ActionWriter outer;
    outer.push({"n", 10}).act(op::DefineLocal);
    outer.defineFunction("", {}, inner).act(op::Return);
    ActionWriter a;
    a.defineFunction("outer", {}, outer);
    a.push({"c", 0, "outer"}).act(op::CallFunction).act(op::SetVariable);
    a.push({0, "c"}).act(op::CallFunction).act(op::Trace);
    a.push({0, "c"}).act(op::CallFunction).act(op::Trace);
    a.getVariable("n").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "11\n12\nundefined\n");
}

TEST(Scope, Swf5FunctionsDoNotCaptureTheirCaller) {
    // The same closure in a SWF 5 movie sees the timeline, not outer's locals.
    ActionWriter inner;
    inner.getVariable("n").act(op::Return);
    ActionWriter outer;
    outer.push({"n", 10}).act(op::DefineLocal);
    outer.defineFunction("", {}, inner).act(op::Return);
    ActionWriter a;
    a.setVariable("n", "timeline");
    a.defineFunction("outer", {}, outer);
    a.push({"c", 0, "outer"}).act(op::CallFunction).act(op::SetVariable);
    a.push({0, "c"}).act(op::CallFunction).act(op::Trace);
    EXPECT_EQ(traceOf(5, a), "timeline\n");
    EXPECT_EQ(traceOf(6, a), "10\n");
}

TEST(Scope, WithLooksUpTheObjectFirstAndAssignsOnlyExistingMembers) {
    // o = {p: 1}; with (o) { trace(p); p = 2; q = 3; } trace(o.p); trace(o.q); trace(q);
    ActionWriter body;
    body.getVariable("p").act(op::Trace);
    body.setVariable("p", 2);
    body.setVariable("q", 3);
    ActionWriter a;
    a.push({"o", "p", 1, 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").with(body);
    a.getVariable("o").push({"p"}).act(op::GetMember).act(op::Trace);
    a.getVariable("o").push({"q"}).act(op::GetMember).act(op::Trace);
    a.getVariable("q").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "1\n2\nundefined\n3\n");
}

TEST(Scope, ThisIsTheReceiverOfAMethodCall) {
    // o = {name: "o"}; o.f = function () { trace(this.name); }; o.f();
    ActionWriter f;
    f.push({"this"}).act(op::GetVariable).push({"name"}).act(op::GetMember).act(op::Trace);
    ActionWriter a;
    a.push({"o", "name", "o", 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"f"}).defineFunction("", {}, f).act(op::SetMember);
    a.push({0}).getVariable("o").push({"f"}).act(op::CallMethod).act(op::Pop);
    // this at the top level is the timeline.
    a.push({"this"}).act(op::GetVariable).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "o\n_level0\n");
}

TEST(Scope, DefineFunction2PreloadsRegistersInOrder) {
    // Flags: PreloadThis (1), PreloadArguments (4), PreloadRoot (0x40), PreloadGlobal (0x100):
    // this -> r1, arguments -> r2, _root -> r3, _global -> r4; parameters in r5 and r6.
    ActionWriter body;
    body.push({Reg{1}, "tag"}).act(op::GetMember).act(op::Trace);
    body.push({Reg{2}, "length"}).act(op::GetMember).act(op::Trace);
    body.push({Reg{3}}).act(op::Trace);
    body.push({Reg{4}, "Math"}).act(op::GetMember).act(op::TypeOf).act(op::Trace);
    body.push({Reg{5}, Reg{6}}).act(op::Add2).act(op::Trace);
    // Parameters in registers create no variables.
    body.getVariable("x").act(op::Trace);
    ActionWriter a;
    a.push({"o", "tag", "me", 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"m"});
    a.defineFunction2("", 7, 0x0001 | 0x0004 | 0x0040 | 0x0100, {{5, "x"}, {6, "y"}}, body);
    a.act(op::SetMember);
    a.push({20, 10, 2}).getVariable("o").push({"m"}).act(op::CallMethod).act(op::Pop);
    EXPECT_EQ(traceOf(7, a), "me\n2\n_level0\nobject\n30\nundefined\n");
}

TEST(Scope, SuppressedThisAndArgumentsAreNotDefined) {
    ActionWriter body;
    body.getVariable("arguments").act(op::TypeOf).act(op::Trace);
    ActionWriter a;
    a.defineFunction2("f", 1, 0x0008, {}, body);  // SuppressArguments
    a.defineFunction2("g", 1, 0, {}, body);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    a.push({0, "g"}).act(op::CallFunction).act(op::Pop);
    EXPECT_EQ(traceOf(7, a), "undefined\nobject\n");
}

TEST(Scope, PreloadingEdgeCases) {
    // PreloadParent (0x80) | PreloadGlobal (0x100) on the root: no parent, so _global lands in
    // r1 and r2 stays empty.
    ActionWriter regs;
    regs.push({Reg{1}, "Math"}).act(op::GetMember).act(op::TypeOf).act(op::Trace);
    regs.push({Reg{2}}).act(op::TypeOf).act(op::Trace);
    // Suppressed and preloaded this/super (0x01|0x02|0x10|0x20): the registers are taken and
    // left undefined; the name this then means the clip the function runs on.
    ActionWriter both;
    both.push({Reg{1}}).act(op::TypeOf).act(op::Trace);
    both.push({Reg{2}}).act(op::TypeOf).act(op::Trace);
    both.push({"this"}).act(op::GetVariable).act(op::Trace);
    // super converts through the prototype above the method's home.
    ActionWriter sup;
    sup.push({"super: "}).getVariable("super").act(op::Add2).act(op::Trace);
    ActionWriter a;
    a.defineFunction2("f", 3, 0x0080 | 0x0100, {}, regs);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"m"}).defineFunction2("", 3, 0x0033, {}, both).act(op::SetMember);
    a.getVariable("o").push({"s"}).defineFunction2("", 1, 0, {}, sup).act(op::SetMember);
    a.push({0}).getVariable("o").push({"m"}).act(op::CallMethod).act(op::Pop);
    a.push({0}).getVariable("o").push({"s"}).act(op::CallMethod).act(op::Pop);
    EXPECT_EQ(traceOf(7, a),
              "object\nundefined\nundefined\nundefined\n_level0\n"
              "super: [object Object]\n");
}

TEST(Scope, NamesIgnoreCaseBeforeSwf7) {
    ActionWriter a;
    a.setVariable("Score", 5);
    a.getVariable("score").act(op::Trace);
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"Key", 1}).act(op::SetMember);
    a.getVariable("o").push({"KEY"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(6, a), "5\n1\n");
    EXPECT_EQ(traceOf(7, a), "undefined\nundefined\n");
}

TEST(Scope, SlashAndDotPathsReachTimelineVariables) {
    ActionWriter a;
    a.setVariable("v", "root var");
    a.push({"/:v"}).act(op::GetVariable).act(op::Trace);
    a.push({"_root.v"}).act(op::GetVariable).act(op::Trace);
    a.push({"_root:v", "set by path"}).act(op::SetVariable);
    a.getVariable("v").act(op::Trace);
    // A path to nothing reads undefined and writes nowhere.
    a.push({"/nothing:v"}).act(op::GetVariable).act(op::Trace);
    a.push({"/nothing:v", 1}).act(op::SetVariable);
    EXPECT_EQ(traceOf(7, a), "root var\nroot var\nset by path\nundefined\n");
}

TEST(Scope, SetTargetRedirectsVariablesAndTimelineActions) {
    // _root.createEmptyMovieClip("kid", 1); tellTarget("kid") { x = 1; } trace(kid.x)
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.setTarget("kid");
    a.setVariable("x", 1);
    a.push({"this"}).act(op::GetVariable).act(op::Trace);
    a.setTarget("");
    a.push({"kid.x"}).act(op::GetVariable).act(op::Trace);
    a.getVariable("x").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "_level0\n1\nundefined\n");
}

TEST(Scope, DeleteRemovesVariablesButNotBuiltInsMarkedPermanent) {
    ActionWriter a;
    a.setVariable("v", 1);
    a.push({"v"}).act(op::Delete2).act(op::Trace);
    a.getVariable("v").act(op::Trace);
    a.push({"v"}).act(op::Delete2).act(op::Trace);
    a.getVariable("Array").push({"NUMERIC"}).act(op::Delete).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "true\nundefined\nfalse\nfalse\n");
}

}  // namespace
}  // namespace zd::avm1test
