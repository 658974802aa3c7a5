// The script side of clips against the stand-in player: MovieClip methods, paths between
// clips, depth handling, variables stored on clips.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

using avm1::Value;
using avm1::Vm;

class Clips : public ::testing::Test {
  protected:
    Clips() : run_(7, ActionWriter()) {}

    avm1::Vm& vm() { return run_.vm(); }
    Value root() { return Value(vm().clipObject(avm1trace::TraceHost::kRoot)); }
    Value str(const char* s) { return Value(vm().str(std::string_view(s))); }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return vm().call(vm().get(self, method), self, args);
    }
    Value makeClip(const Value& parent, const char* name, double depth) {
        return call(parent, "createEmptyMovieClip", {str(name), Value(depth)});
    }
    std::string text(const Value& v) { return vm().toStdString(v); }

    ScriptRun run_;
};

TEST_F(Clips, ChildrenAreMembersAndKnowTheirPaths) {
    const Value a = makeClip(root(), "a", 1);
    const Value b = makeClip(a, "b", 1);
    EXPECT_EQ(text(b), "_level0.a.b");
    EXPECT_EQ(text(vm().get(b, "_target")), "/a/b");
    EXPECT_EQ(text(vm().get(b, "_name")), "b");
    EXPECT_TRUE(Vm::strictEquals(vm().get(vm().get(root(), "a"), "b"), b));
    EXPECT_TRUE(Vm::strictEquals(vm().get(b, "_parent"), a));
    EXPECT_TRUE(Vm::strictEquals(vm().get(b, "_root"), root()));
    EXPECT_TRUE(vm().get(root(), "_parent").isUndefined());
    EXPECT_EQ(vm().resolvePath(avm1trace::TraceHost::kRoot, "/a/b"),
              vm().resolvePath(avm1trace::TraceHost::kRoot, "a.b"));
    const avm1::DisplayId bId = static_cast<avm1::ClipObject*>(b.object())->id;
    EXPECT_EQ(vm().resolvePath(bId, "../../a"), vm().resolvePath(bId, "_root.a"));
    EXPECT_EQ(vm().resolvePath(bId, "_level0"), avm1trace::TraceHost::kRoot);
    EXPECT_EQ(vm().resolvePath(bId, "nothing/here"), avm1::kNoDisplay);
}

TEST_F(Clips, VariablesLiveOnTheClipAndShadowChildren) {
    const Value a = makeClip(root(), "a", 1);
    vm().set(a, "score", Value(10.0));
    EXPECT_EQ(vm().toNumber(vm().get(vm().get(root(), "a"), "score")), 10);
    // A variable named like a child hides the child.
    vm().set(root(), "a", str("shadow"));
    EXPECT_EQ(text(vm().get(root(), "a")), "shadow");
}

TEST_F(Clips, DisplayPropertiesGoToTheHostWithTheirTypes) {
    const Value a = makeClip(root(), "a", 1);
    vm().set(a, "_x", str("12.5"));
    vm().set(a, "_visible", Value(0.0));
    vm().set(a, "_alpha", str("junk"));  // not a number: ignored by the host
    EXPECT_EQ(vm().toNumber(vm().get(a, "_x")), 12.5);
    EXPECT_EQ(text(vm().get(a, "_visible")), "false");
    EXPECT_EQ(vm().toNumber(vm().get(a, "_alpha")), 100);
    vm().set(a, "_name", str("renamed"));
    EXPECT_EQ(text(a), "_level0.renamed");
    EXPECT_TRUE(vm().get(root(), "a").isUndefined());
}

TEST_F(Clips, DepthMethods) {
    const Value a = makeClip(root(), "a", 5);
    const Value b = makeClip(root(), "b", 9);
    EXPECT_EQ(vm().toNumber(call(root(), "getNextHighestDepth")), 10);
    EXPECT_EQ(vm().toNumber(call(a, "getDepth")), 5);
    call(a, "swapDepths", {b});
    EXPECT_EQ(vm().toNumber(call(a, "getDepth")), 9);
    EXPECT_EQ(vm().toNumber(call(b, "getDepth")), 5);
    EXPECT_TRUE(Vm::strictEquals(call(root(), "getInstanceAtDepth", {Value(9.0)}), a));
    EXPECT_TRUE(call(root(), "getInstanceAtDepth", {Value(77.0)}).isUndefined());
    // A new clip at an occupied depth replaces the old one.
    makeClip(root(), "c", 9);
    EXPECT_TRUE(vm().get(root(), "a").isUndefined());
}

TEST_F(Clips, DuplicateCopiesPropertiesAndTakesAnInitObject) {
    const Value a = makeClip(root(), "a", 1);
    vm().set(a, "_x", Value(30.0));
    avm1::Object* init = vm().newObject();
    vm().set(Value(init), "tag", str("copied"));
    const Value copy = call(a, "duplicateMovieClip", {str("copy"), Value(2.0), Value(init)});
    EXPECT_EQ(text(copy), "_level0.copy");
    EXPECT_EQ(vm().toNumber(vm().get(copy, "_x")), 30);
    EXPECT_EQ(text(vm().get(copy, "tag")), "copied");
    // The stand-in has no library symbols: attachMovie makes nothing.
    EXPECT_TRUE(call(root(), "attachMovie", {str("Symbol"), str("s"), Value(3.0)}).isUndefined());
}

TEST_F(Clips, CreateTextFieldReturnsTheFieldFromSwf8) {
    EXPECT_TRUE(call(root(), "createTextField",
                     {str("t"), Value(1.0), Value(0.0), Value(0.0), Value(10.0), Value(10.0)})
                    .isUndefined());
    EXPECT_EQ(text(vm().typeOf(vm().get(root(), "t"))), "object");  // made all the same
    ScriptRun eight(8, ActionWriter());
    avm1::Vm& v8 = eight.vm();
    const Value r8(v8.clipObject(avm1trace::TraceHost::kRoot));
    const Value field =
        v8.call(v8.get(r8, "createTextField"), r8,
                std::vector<Value>{Value(v8.str(std::string_view("t"))), Value(1.0), Value(0.0),
                                   Value(0.0), Value(10.0), Value(10.0)});
    EXPECT_EQ(v8.toStdString(field), "_level0.t");
}

TEST_F(Clips, TimelineMethodsDriveTheHost) {
    ScriptRun run(7, {ActionWriter().bytes(), ActionWriter().bytes(), ActionWriter().bytes()});
    run.frames(1);
    avm1::Vm& v = run.vm();
    const Value r(v.clipObject(avm1trace::TraceHost::kRoot));
    v.call(v.get(r, "gotoAndStop"), r, std::vector<Value>{Value(3.0)});
    EXPECT_EQ(run.host().currentFrame(), 3);
    v.call(v.get(r, "prevFrame"), r, {});
    EXPECT_EQ(v.toNumber(v.get(r, "_currentframe")), 2);
    v.call(v.get(r, "gotoAndPlay"), r, std::vector<Value>{Value(99.0)});  // clamped
    EXPECT_EQ(v.toNumber(v.get(r, "_currentframe")), 3);
    EXPECT_EQ(v.toNumber(v.get(r, "_totalframes")), 3);
}

TEST_F(Clips, RemovedClipsBecomeDeadHandlesEverywhere) {
    const Value a = makeClip(root(), "a", 1);
    const Value b = makeClip(a, "b", 1);
    call(a, "removeMovieClip");
    // The child went with its parent; every way to reach them answers nothing.
    EXPECT_TRUE(vm().get(b, "_name").isUndefined());
    EXPECT_TRUE(vm().get(root(), "a").isUndefined());
    EXPECT_EQ(vm().displayOf(b, avm1trace::TraceHost::kRoot),
              static_cast<avm1::ClipObject*>(b.object())->id);
    EXPECT_TRUE(call(b, "getDepth").isUndefined());
    call(b, "duplicateMovieClip", {str("x"), Value(3.0)});  // no effect, no crash
    EXPECT_TRUE(vm().get(root(), "x").isUndefined());
    EXPECT_EQ(text(vm().typeOf(b)), "movieclip");
}

TEST_F(Clips, ForInOverAClipListsVariablesThenChildren) {
    makeClip(root(), "first", 1);
    makeClip(root(), "second", 2);
    vm().set(root(), "v", Value(1.0));
    std::string names;
    for (avm1::String* n : vm().enumerate(root().object())) {
        names += std::string(n->view()) + " ";
    }
    EXPECT_EQ(names, "first second v ");
}

TEST_F(Clips, TargetPathsTakeColonsEverywhereAndDotsOnlyBeforeASlash) {
    const Value a = makeClip(root(), "a", 1);
    const Value b = makeClip(a, "b", 1);
    const Value c = makeClip(b, "c", 1);
    const avm1::DisplayId r = avm1trace::TraceHost::kRoot;
    const avm1::DisplayId cId = static_cast<avm1::ClipObject*>(c.object())->id;
    EXPECT_EQ(vm().resolvePath(r, "a:b:c"), cId);
    EXPECT_EQ(vm().resolvePath(r, "a.b:c"), cId);
    EXPECT_EQ(vm().resolvePath(r, "::a.::b/:c/"), cId);  // empty names are skipped
    EXPECT_EQ(vm().resolvePath(r, "a.b/c:"), cId);
    // After a slash a dot is part of the name.
    EXPECT_EQ(vm().resolvePath(r, "a/b.c"), avm1::kNoDisplay);
    EXPECT_EQ(vm().resolvePath(r, "/a.b"), avm1::kNoDisplay);
    // ".." is the parent only as a whole name.
    EXPECT_EQ(vm().resolvePath(cId, "..:..:b:c"), cId);
    EXPECT_EQ(vm().resolvePath(r, "a/b/.../c"), avm1::kNoDisplay);
    EXPECT_EQ(vm().resolvePath(r, "a:b:c:...c"), avm1::kNoDisplay);
    // An empty name between two colons at the end leads nowhere.
    EXPECT_EQ(vm().resolvePath(r, "a:b:c::"), avm1::kNoDisplay);
    // "this" is no clip name in a target path, but stays in place in a variable path.
    EXPECT_EQ(vm().resolvePath(r, "this/a"), avm1::kNoDisplay);
    EXPECT_TRUE(Vm::strictEquals(vm().followPath(root(), "this/a", true), a));
}

TEST_F(Clips, VariablePathsWalkThroughObjectsHeldInMembers) {
    const Value a = makeClip(root(), "a", 1);
    const Value o = Value(vm().newObject());
    vm().set(a, "held", o);
    vm().set(root(), "text", str("not an object"));
    EXPECT_TRUE(Vm::strictEquals(vm().followPath(root(), "/a/held", true), o));
    EXPECT_TRUE(vm().followPath(root(), "/a/held", false).isUndefined());
    EXPECT_TRUE(vm().followPath(root(), "text", true).isUndefined());
    // A child clip wins over a member of the same name.
    vm().set(root(), "a", o);
    EXPECT_TRUE(Vm::strictEquals(vm().followPath(root(), "a", true), a));
}

TEST_F(Clips, LevelNamesReadTheirDigitsAndNeverFallThroughToPrototypes) {
    EXPECT_EQ(vm().levelName("_level0"), 0);
    EXPECT_EQ(vm().levelName("_level"), 0);
    EXPECT_EQ(vm().levelName("_flash3x"), 3);
    EXPECT_EQ(vm().levelName("_level4294967297"), 1);  // wraps as a 32-bit number
    EXPECT_LT(*vm().levelName("_level2147483648"), 0);
    EXPECT_LT(*vm().levelName("_level-1"), 0);
    EXPECT_EQ(vm().levelName("_levels"), 0);  // no digits: level 0
    EXPECT_FALSE(vm().levelName("_lev").has_value());
    EXPECT_FALSE(vm().levelName("level0").has_value());
    EXPECT_TRUE(Vm::strictEquals(vm().get(root(), "_flash0"), root()));
    Value proto = vm().get(Value(vm().global()), "MovieClip");
    proto = vm().get(proto, "prototype");
    vm().set(proto, "_level1", Value(99.0));
    EXPECT_TRUE(vm().get(root(), "_level1").isUndefined());
}

TEST(ClipPathScripts, GetAndSetSplitAtTheLastColonOrDot) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({"kid:v", "colon"}).act(op::SetVariable);
    a.getVariable("kid.v").act(op::Trace);
    // Slashes alone make a name, not a path, when setting.
    a.push({"kid/w", "slash"}).act(op::SetVariable);
    a.getVariable("kid").push({"w"}).act(op::GetMember).act(op::Trace);
    a.getVariable("_root").push({"kid/w"}).act(op::GetMember).act(op::Trace);
    // Reading one finds that variable first, else the clip the path names.
    a.getVariable("kid/w").act(op::Trace);
    a.getVariable("/kid").act(op::Trace);
    // A path through an object held in a member.
    a.push({"obj", 0}).act(op::InitObject).act(op::SetVariable);
    a.push({"/obj:deep", "held"}).act(op::SetVariable);
    a.getVariable("obj").push({"deep"}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "colon\nundefined\nslash\nslash\n_level0.kid\nheld\n");
}

TEST(ClipPathScripts, ATellTargetNamingNothingHasNoPropertiesButTheRootsVariables) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({"n", "root"}).act(op::SetVariable);
    a.push({"kid:n", "kid"}).act(op::SetVariable);
    a.setTarget("kid/nothing");
    a.getVariable("n").act(op::Trace);
    a.push({"", 13}).act(op::GetProperty).act(op::Trace);
    a.setTarget("");
    a.push({"kid"}).act(op::SetTarget2);
    a.getVariable("n").act(op::Trace);
    a.push({"", 13}).act(op::GetProperty).act(op::Trace);
    a.setTarget("");
    EXPECT_EQ(traceOf(7, a), "root\nundefined\nkid\nkid\n");
}

}  // namespace
}  // namespace zd::avm1test
