// Control flow: branches, try/catch/finally, throw across calls, the script limits, and
// malformed action blocks, which must end quietly.

#include <gtest/gtest.h>

#include <chrono>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(Control, LoopsCountAndBranch) {
    // i = 0; s = 0; while (i < 5) { s += i; i++; } trace(s);
    ActionWriter a;
    a.setVariable("i", 0).setVariable("s", 0);
    const auto top = a.newLabel();
    const auto done = a.newLabel();
    a.bind(top).getVariable("i").push({5}).act(op::Less2).act(op::Not).ifTrue(done);
    a.push({"s"}).getVariable("s").getVariable("i").act(op::Add2).act(op::SetVariable);
    a.push({"i"}).getVariable("i").act(op::Increment).act(op::SetVariable);
    a.jump(top).bind(done);
    a.getVariable("s").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "10\n");
}

TEST(Control, CatchReceivesTheThrownValueAndFinallyAlwaysRuns) {
    ActionWriter body;
    body.push({"boom"}).act(op::Throw);
    body.trace("not reached");
    ActionWriter handler;
    handler.push({"caught "}).getVariable("e").act(op::Add2).act(op::Trace);
    ActionWriter fin;
    fin.trace("finally");
    ActionWriter a;
    a.tryBlock(body, &handler, &fin, "e");
    a.trace("after");
    EXPECT_EQ(traceOf(7, a), "caught boom\nfinally\nafter\n");
}

TEST(Control, ThrowsLeaveFunctionsUntilATryCatchesThem) {
    ActionWriter inner;
    inner.push({"from inner"}).act(op::Throw);
    ActionWriter middle;
    middle.push({0, "inner"}).act(op::CallFunction).act(op::Pop);
    middle.trace("middle not reached");
    ActionWriter body;
    body.push({0, "middle"}).act(op::CallFunction).act(op::Pop);
    ActionWriter handler;
    handler.push({Reg{1}}).act(op::Trace);
    ActionWriter a;
    a.defineFunction("inner", {}, inner);
    a.defineFunction("middle", {}, middle);
    a.tryBlock(body, &handler, nullptr, "", 1);
    EXPECT_EQ(traceOf(7, a), "from inner\n");
}

TEST(Control, FinallyRunsWhenAnUncaughtThrowPassesThrough) {
    // try { try { throw 1 } finally { trace("inner finally") } } catch (e) { trace(e) }
    ActionWriter t;
    t.push({1}).act(op::Throw);
    ActionWriter innerFinally;
    innerFinally.trace("inner finally");
    ActionWriter outerBody;
    outerBody.tryBlock(t, nullptr, &innerFinally, "x");
    ActionWriter handler;
    handler.getVariable("e").act(op::Trace);
    ActionWriter a;
    a.tryBlock(outerBody, &handler, nullptr, "e");
    EXPECT_EQ(traceOf(7, a), "inner finally\n1\n");
}

TEST(Control, ReturnInsideTryRunsFinallyFirst) {
    ActionWriter body;
    body.push({"result"}).act(op::Return);
    ActionWriter fin;
    fin.trace("finally");
    ActionWriter f;
    f.tryBlock(body, nullptr, &fin, "e");
    f.push({"not this"}).act(op::Return);
    ActionWriter a;
    a.defineFunction("f", {}, f);
    a.push({0, "f"}).act(op::CallFunction).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "finally\nresult\n");
}

TEST(Control, UncaughtThrowEndsOnlyItsOwnBlock) {
    ActionWriter first;
    first.push({"x"}).act(op::Throw);
    first.trace("not reached");
    ActionWriter second;
    second.trace("next frame runs");
    ScriptRun run(7, {first.bytes(), second.bytes()});
    EXPECT_EQ(run.frames(2), "Warning: Uncaught exception, x\nnext frame runs\n");
}

TEST(Limits, ARunawayLoopIsStoppedAndTheNextFrameStillRuns) {
    ActionWriter loop;
    const auto top = loop.newLabel();
    loop.bind(top).jump(top);
    ActionWriter next;
    next.trace("still alive");
    avm1::Limits limits;
    limits.timeout = std::chrono::milliseconds(50);
    ScriptRun run(7, {loop.bytes(), next.bytes()}, limits);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run.frames(2), "still alive\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(run.host().errors.size(), 1u);
}

TEST(Limits, RunawayHandlersOfOneTickShareOneBudget) {
    // Three intervals, each an endless loop: each tick stops at the first one and skips the
    // others, so a tick costs one time limit, not three.
    ActionWriter loop;
    const auto top = loop.newLabel();
    loop.bind(top).jump(top);
    ActionWriter a;
    for (int i = 0; i < 3; ++i) {
        a.push({1}).defineFunction("", {}, loop).push({2, "setInterval"}).act(op::CallFunction);
        a.act(op::Pop);
    }
    ActionWriter second;
    second.trace("frame 2");
    avm1::Limits limits;
    limits.timeout = std::chrono::milliseconds(50);
    ScriptRun run(7, {a.bytes(), second.bytes()}, limits);
    const auto start = std::chrono::steady_clock::now();
    run.frames(1);
    EXPECT_EQ(run.host().errors.size(), 0u);  // the intervals are not due yet
    run.frames(1);
    // Frame 2's script ran; then one interval hit the limit and the other two waited.
    EXPECT_EQ(run.output(), "frame 2\n");
    EXPECT_EQ(run.host().errors.size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    run.frames(1);
    EXPECT_EQ(run.host().errors.size(), 2u);
}

TEST(Limits, DeepRecursionIsStopped) {
    // function f(n) { trace-free recursion } f();
    ActionWriter f;
    f.push({0, "f"}).act(op::CallFunction).act(op::Return);
    ActionWriter a;
    a.defineFunction("f", {}, f);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    a.trace("not reached");
    ActionWriter next;
    next.trace("next");
    avm1::Limits limits;
    limits.maxRecursion = 64;
    ScriptRun run(7, {a.bytes(), next.bytes()}, limits);
    EXPECT_EQ(run.frames(2), "next\n");
    EXPECT_EQ(run.host().errors.size(), 1u);
}

TEST(Limits, AFrameCallingItselfIsStopped) {
    // Frame 1 runs call(1): the frame's actions run again, nested, without end.
    ActionWriter a;
    a.push({1}).record(op::Call, {});
    ScriptRun run(7, a);
    run.frames(1);
    EXPECT_EQ(run.host().errors.size(), 1u);
}

TEST(Limits, ANativeCallingItselfThroughConversionsIsStopped) {
    // o = {}; o.toString = String.prototype.toString; trace(o): the method converts its
    // this, which calls the method again.
    ActionWriter a;
    a.push({"o", 0}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").push({"toString"}).getVariable("String").push({"prototype"});
    a.act(op::GetMember).push({"toString"}).act(op::GetMember).act(op::SetMember);
    a.getVariable("o").act(op::Trace);
    a.trace("not reached");
    ScriptRun run(7, a);
    EXPECT_EQ(run.frames(1), "");
    EXPECT_EQ(run.host().errors.size(), 1u);
}

TEST(Limits, RecursionWithinTheLimitRuns) {
    // function f(n) { if (n > 0) return f(n - 1) + 1; return 0; } trace(f(100));
    ActionWriter f;
    const auto base = f.newLabel();
    f.getVariable("n").push({0}).act(op::Greater).act(op::Not).ifTrue(base);
    f.getVariable("n").act(op::Decrement).push({1, "f"}).act(op::CallFunction);
    f.push({1}).act(op::Add2).act(op::Return);
    f.bind(base).push({0}).act(op::Return);
    ActionWriter a;
    a.defineFunction("f", {"n"}, f);
    a.push({100, 1, "f"}).act(op::CallFunction).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "100\n");
}

// Each of these blocks is broken; running it must neither crash nor hang, and the trace before
// the break must still come out. Missing stack values read as undefined.
TEST(MalformedActions, EndQuietly) {
    std::vector<swfwriter::ActionBytes> blocks;
    std::vector<std::string> expected;
    {
        ActionWriter a;  // a jump far past the end
        a.trace("before").record(op::Jump, {0xff, 0x7f});
        blocks.push_back(a.bytes());
    }
    {
        ActionWriter a;  // a jump before the start
        a.trace("before").record(op::Jump, {0x00, 0x80});
        blocks.push_back(a.bytes());
    }
    {
        ActionWriter a;  // a record whose length runs past the end
        a.trace("before");
        auto b = a.code();
        b.insert(b.end(), {op::Push, 0x40, 0x00, 0x00, 'x'});
        blocks.push_back(b);
    }
    {
        ActionWriter a;  // popping an empty stack
        a.trace("before").act(op::Add2).act(op::Pop).act(op::Pop).act(op::CallMethod);
        a.act(op::InitObject).act(op::InitArray).act(op::Trace);  // an empty array: ""
        blocks.push_back(a.bytes());
        expected.resize(blocks.size(), "before\n");
        expected.back() = "before\n\n";
    }
    {
        ActionWriter a;  // constant indices past the pool, registers past the frame
        a.trace("before").constantPool({"only"}).push({Const{900}, Reg{200}}).act(op::Add2);
        a.act(op::Trace);  // undefined + undefined
        blocks.push_back(a.bytes());
        expected.resize(blocks.size(), "before\n");
        expected.back() = "before\nNaN\n";
    }
    {
        ActionWriter a;  // a function whose body runs past the block; with blocks nested deep
        a.trace("before").record(op::DefineFunction, {'f', 0, 0, 0, 0xff, 0xff});
        blocks.push_back(a.bytes());
    }
    {
        ActionWriter inner;
        inner.act(op::Pop);
        for (int i = 0; i < 200; ++i) {
            ActionWriter outer;
            outer.push({0}).act(op::InitObject).with(inner);
            inner = outer;
        }
        ActionWriter a;
        a.trace("before");
        auto b = a.code();
        const auto nested = inner.code();
        b.insert(b.end(), nested.begin(), nested.end());
        blocks.push_back(b);
    }
    {
        ActionWriter a;  // a try whose sizes overlap the rest
        a.trace("before").record(op::Try, {0x03, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 'e', 0});
        blocks.push_back(a.bytes());
    }
    expected.resize(blocks.size(), "before\n");
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ScriptRun run(7, {blocks[i]});
        EXPECT_EQ(run.frames(1), expected[i]) << "block " << i;
    }
}

}  // namespace
}  // namespace zd::avm1test
