// Memory: the collector frees cycles and keeps what scripts can still reach; handles to
// removed clips stay safe; timers keep their callbacks alive.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

// for (i = 0; i < n; i++) { o = {}; o.self = o; p = {}; p.o = o; o.p = p; }
ActionWriter cycleLoop(int n) {
    ActionWriter a;
    a.push({0}).storeRegister(1).act(op::Pop);
    const auto top = a.newLabel();
    const auto done = a.newLabel();
    a.bind(top).push({Reg{1}, n}).act(op::Less2).act(op::Not).ifTrue(done);
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"self"}).getVariable("o").act(op::SetMember);
    a.push({"p", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("p").push({"o"}).getVariable("o").act(op::SetMember);
    a.getVariable("o").push({"p"}).getVariable("p").act(op::SetMember);
    a.push({Reg{1}}).act(op::Increment).storeRegister(1).act(op::Pop);
    a.jump(top).bind(done);
    return a;
}

TEST(Collector, CyclesMadeInALoopAreFreedWhileTheLoopRuns) {
    ScriptRun baseline(7, ActionWriter());
    baseline.frames(1);
    baseline.vm().collectGarbage();
    const std::size_t base = baseline.vm().liveCells();

    ScriptRun run(7, cycleLoop(400000));
    run.frames(1);
    // Collections happened during the loop, so the heap never held all 800000 objects.
    EXPECT_GT(run.vm().heap().collections(), 2u);
    run.vm().collectGarbage();
    // The last o and p survive (reachable from the timeline), nothing else of the loop.
    EXPECT_LT(run.vm().liveCells(), base + 64);
}

TEST(Collector, ReachableObjectsSurviveCollection) {
    ActionWriter a;
    a.push({"keep", "v", "still here", 1}).act(op::InitObject).act(op::SetVariable);
    ActionWriter b;
    b.getVariable("keep").push({"v"}).act(op::GetMember).act(op::Trace);
    ScriptRun run(7, {a.bytes(), b.bytes()});
    run.frames(1);
    run.vm().collectGarbage();
    run.vm().collectGarbage();
    EXPECT_EQ(run.frames(1), "still here\n");
}

TEST(Collector, FunctionsKeepTheirScopesAlive) {
    // var c = (function () { var secret = "closure"; return function () { return secret; }; })();
    ActionWriter inner;
    inner.getVariable("secret").act(op::Return);
    ActionWriter outer;
    outer.push({"secret", "closure"}).act(op::DefineLocal);
    outer.defineFunction("", {}, inner).act(op::Return);
    ActionWriter a;
    a.push({"c", 0}).defineFunction("", {}, outer).push({Undefined{}}).act(op::CallMethod);
    a.act(op::SetVariable);
    ActionWriter b;
    b.push({0, "c"}).act(op::CallFunction).act(op::Trace);
    ScriptRun run(7, {a.bytes(), b.bytes()});
    run.frames(1);
    run.vm().collectGarbage();
    EXPECT_EQ(run.frames(1), "closure\n");
}

TEST(ClipHandles, ARemovedClipAnswersNothingAndANewClipOfTheSameNameIsAnother) {
    // c = _root.createEmptyMovieClip("c", 1); c.v = 1; c.removeMovieClip();
    // trace(c._x); trace(c.v); c.gotoAndStop(2); d = _root.createEmptyMovieClip("c", 1);
    // trace(c == d); trace(d.v);
    ActionWriter a;
    a.push({"c", 1, "c", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::SetVariable);
    a.getVariable("c").push({"v", 1}).act(op::SetMember);
    a.getVariable("c").push({"_x", 5}).act(op::SetMember);
    a.getVariable("c").push({"_x"}).act(op::GetMember).act(op::Trace);
    a.push({0}).getVariable("c").push({"removeMovieClip"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("c").push({"_x"}).act(op::GetMember).act(op::Trace);
    a.getVariable("c").push({"v"}).act(op::GetMember).act(op::Trace);
    a.push({2, 1}).getVariable("c").push({"gotoAndStop"}).act(op::CallMethod).act(op::Pop);
    a.push({"d", 1, "c", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::SetVariable);
    a.getVariable("c").getVariable("d").act(op::StrictEquals).act(op::Trace);
    a.getVariable("d").push({"v"}).act(op::GetMember).act(op::Trace);
    ScriptRun run(7, a);
    EXPECT_EQ(run.frames(1), "5\nundefined\n1\nfalse\nundefined\n");
    // The display object itself is gone; the script kept only a dead handle.
    run.vm().collectGarbage();
    EXPECT_FALSE(run.host().exists(2));
}

TEST(Timers, IntervalsRepeatTimeoutsFireOnceAndClearStops) {
    // n = 0; id = setInterval(function (tag) { n++; trace(tag + n); if (n == 3)
    //   clearInterval(id); }, 10, "tick "); setTimeout(function () { trace("once"); }, 15);
    ActionWriter cb;
    cb.push({"n"}).getVariable("n").act(op::Increment).act(op::SetVariable);
    cb.getVariable("tag").getVariable("n").act(op::Add2).act(op::Trace);
    const auto skip = cb.newLabel();
    cb.getVariable("n").push({3}).act(op::Equals2).act(op::Not).ifTrue(skip);
    cb.getVariable("id").push({1, "clearInterval"}).act(op::CallFunction).act(op::Pop);
    cb.bind(skip);
    ActionWriter once;
    once.trace("once");
    ActionWriter a;
    a.setVariable("n", 0);
    a.push({"id", "tick ", 10}).defineFunction("", {"tag"}, cb);
    a.push({3, "setInterval"}).act(op::CallFunction).act(op::SetVariable);
    a.push({15}).defineFunction("", {}, once).push({2, "setTimeout"}).act(op::CallFunction);
    a.act(op::Pop);
    ScriptRun run(7, a);
    run.frames(1);
    run.vm().collectGarbage();  // the callbacks live only in the timer list
    for (double t = 0; t <= 100; t += 5) {
        run.host().clock = t;
        run.vm().runTimers(t);
    }
    EXPECT_EQ(run.output(), "tick 1\nonce\ntick 2\ntick 3\n");
    EXPECT_FALSE(run.vm().hasTimers());
}

}  // namespace
}  // namespace zd::avm1test
