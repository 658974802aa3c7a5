// The individual actions: stack and register handling, string and bit operations, the
// timeline and clip actions against the stand-in player, requests.

#include <gtest/gtest.h>

#include "Avm1TestSupport.h"

namespace zd::avm1test {
namespace {

TEST(StackActions, DuplicateSwapAndRegisters) {
    ActionWriter a;
    a.push({1, 2}).act(op::StackSwap).act(op::Trace).act(op::Trace);
    a.push({"x"}).act(op::PushDuplicate).act(op::Add2).act(op::Trace);
    a.push({7}).storeRegister(3).act(op::Pop).push({Reg{3}}).act(op::Trace);
    // Top-level blocks have four registers: more read as undefined, writes are dropped.
    a.push({9}).storeRegister(200).act(op::Pop).push({Reg{200}}).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "1\n2\nxx\n7\nundefined\n");
}

TEST(StackActions, PushEncodings) {
    ActionWriter a;
    a.push({swfwriter::Float{1.5f}, 2.25, -7, true, Null{}, Undefined{}});
    for (int i = 0; i < 6; ++i) {
        a.act(op::Trace);
    }
    a.constantPool({"zero", "one"}).push({Const{1}, Const{0}}).act(op::Add2).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "undefined\nnull\ntrue\n-7\n2.25\n1.5\nonezero\n");
}

TEST(StringActions, Swf4StringsCountBytesMultibyteOnesCharacters) {
    ActionWriter a;
    // Written in the code page: \xe9 is one byte and one character.
    a.push({"h\xe9llo"}).act(op::StringLength).act(op::Trace);
    a.push({"h\xe9llo"}).record(0x31, {}).act(op::Trace);  // MBStringLength has no payload
    EXPECT_EQ(traceOf(5, a), "5\n5\n");
    ActionWriter utf8;
    utf8.push({"h\xc3\xa9llo"}).act(op::StringLength).act(op::Trace);
    utf8.push({"h\xc3\xa9llo"}).record(0x31, {}).act(op::Trace);
    EXPECT_EQ(traceOf(7, utf8), "5\n5\n");
}

TEST(StringActions, ExtractAddCompareAndCharacterCodes) {
    ActionWriter a;
    a.push({"abcdef", 2, 3}).act(op::StringExtract).act(op::Trace);  // 1-based index
    a.push({"ab", "cd"}).act(op::StringAdd).act(op::Trace);
    a.push({"abc", "abd"}).act(op::StringLess).act(op::Trace);
    a.push({"abc", "abc"}).act(op::StringEquals).act(op::Trace);
    a.push({"b", "a"}).act(op::StringGreater).act(op::Trace);
    a.push({"A"}).act(op::CharToAscii).act(op::Trace);
    a.push({233}).act(op::AsciiToChar).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "bcd\nabcd\ntrue\ntrue\ntrue\n65\n\xc3\xa9\n");
}

TEST(ArithmeticActions, ModuloIntegerAndIncrement) {
    ActionWriter a;
    a.push({-7, 3}).act(op::Modulo).act(op::Trace);
    a.push({5.5, 0}).act(op::Modulo).act(op::Trace);
    a.push({-3.7}).act(op::ToInteger).act(op::Trace);
    a.push({"41"}).act(op::Increment).act(op::Trace);
    a.push({"x"}).act(op::Decrement).act(op::Trace);
    a.push({"12"}).act(op::ToNumber).act(op::TypeOf).act(op::Trace);
    a.push({12}).act(op::ToString).act(op::TypeOf).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "-1\nNaN\n-3\n42\nNaN\nnumber\nstring\n");
}

TEST(ArithmeticActions, BitOperationsWrapTo32Bits) {
    ActionWriter a;
    a.push({4294967295.0, 1}).act(op::BitAnd).act(op::Trace);
    a.push({1, 31}).act(op::BitLShift).act(op::Trace);
    a.push({-16, 2}).act(op::BitRShift).act(op::Trace);
    a.push({-16, 2}).act(op::BitURShift).act(op::Trace);
    a.push({1, 33}).act(op::BitLShift).act(op::Trace);  // shift counts are taken mod 32
    a.push({5, 3}).act(op::BitXor).act(op::Trace);
    a.push({5, 2}).act(op::BitOr).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "1\n-2147483648\n-4\n1073741820\n2\n6\n7\n");
}

TEST(ArithmeticActions, LogicalAndOrNotGiveBooleansFromSwf5) {
    ActionWriter a;
    a.push({1, 0}).act(op::And).act(op::Trace);
    a.push({1, 0}).act(op::Or).act(op::Trace);
    a.push({"0"}).act(op::Not).act(op::Trace);
    EXPECT_EQ(traceOf(4, a), "0\n1\n1\n");
    EXPECT_EQ(traceOf(7, a), "false\ntrue\nfalse\n");
}

TEST(ObjectActions, InitArrayNewMethodAndDelete) {
    ActionWriter a;
    // InitArray takes the first element from the top of the stack.
    a.push({"a", "c", "b", "a", 3}).act(op::InitArray).act(op::SetVariable);
    a.getVariable("a").act(op::Trace);
    // new (Array)(2, 3)
    a.push({3, 2, 2}).getVariable("_global").push({"Array"}).act(op::NewMethod).act(op::Trace);
    // delete a[1] leaves a hole; the length stays.
    a.getVariable("a").push({1}).act(op::Delete).act(op::Trace);
    a.getVariable("a").push({"length"}).act(op::GetMember).act(op::Trace);
    a.getVariable("a").push({1}).act(op::GetMember).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "a,b,c\n2,3\ntrue\n3\nundefined\n");
}

TEST(ObjectActions, DefineLocal2DeclaresWithoutOverwriting) {
    ActionWriter body;
    body.push({"v"}).act(op::DefineLocal2);
    body.getVariable("v").act(op::Trace);
    ActionWriter a;
    a.setVariable("v", "timeline");
    a.push({"v"}).act(op::DefineLocal2);  // exists on the timeline: kept
    a.getVariable("v").act(op::Trace);
    a.defineFunction("f", {}, body);
    a.push({0, "f"}).act(op::CallFunction).act(op::Pop);  // a new local shadows it
    EXPECT_EQ(traceOf(7, a), "timeline\nundefined\n");
}

TEST(ObjectActions, EnumerateListsAClipsChildrenAndVariables) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.setVariable("v", 1);
    const auto loop = a.newLabel();
    const auto done = a.newLabel();
    a.push({"_root"}).act(op::Enumerate);
    a.bind(loop).storeRegister(0).push({Null{}}).act(op::Equals2).ifTrue(done);
    a.push({Reg{0}}).act(op::Trace).jump(loop);
    a.bind(done);
    EXPECT_EQ(traceOf(7, a), "v\nkid\n");
}

TEST(ObjectActions, TargetPathNamesClipsOnly) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::TargetPath).act(op::Trace);
    a.push({0}).act(op::InitObject).act(op::TargetPath).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "_level0.kid\nundefined\n");
}

TEST(ClipActions, PropertiesByIndexAndByName) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({"kid", 0, 25}).act(op::SetProperty);  // _x
    a.push({"kid", 0}).act(op::GetProperty).act(op::Trace);
    a.push({"kid._x"}).act(op::GetVariable).act(op::Trace);
    a.push({"/kid", 13}).act(op::GetProperty).act(op::Trace);  // _name
    a.push({"/kid", 11}).act(op::GetProperty).act(op::Trace);  // _target
    a.push({"kid"}).act(op::GetVariable).push({"_X"}).act(op::GetMember).act(op::Trace);
    a.push({"", 5}).act(op::GetProperty).act(op::Trace);  // _totalframes of this timeline
    a.push({"nothing", 0}).act(op::GetProperty).act(op::Trace);
    ScriptRun run(6, {a.bytes(), ActionWriter().bytes(), ActionWriter().bytes()});
    EXPECT_EQ(run.frames(1), "25\n25\nkid\n/kid\n25\n3\nundefined\n");
}

TEST(ClipActions, TimelineControlReachesTheHost) {
    // Frame 1: stop(); gotoAndStop(3) through GotoFrame (0-based).
    ActionWriter first;
    first.trace("one").act(op::Stop).gotoFrame(2);
    ActionWriter second;
    second.trace("two");
    ActionWriter third;
    third.trace("three");
    ScriptRun run(7, {first.bytes(), second.bytes(), third.bytes()});
    EXPECT_EQ(run.frames(3), "one\nthree\n");
    EXPECT_EQ(run.host().currentFrame(), 3);
}

TEST(ClipActions, GotoFrame2TakesNumbersLabelsAndTargetPaths) {
    ActionWriter first;
    first.push({"2"}).record(op::GotoFrame2, {0x00});  // gotoAndStop("2")
    ActionWriter second;
    second.trace("two");
    ScriptRun run(7, {first.bytes(), second.bytes()});
    run.frames(1);
    EXPECT_EQ(run.host().currentFrame(), 2);
    EXPECT_EQ(run.output(), "two\n");
}

TEST(ClipActions, CloneAndRemoveSprite) {
    ActionWriter a;
    a.push({1, "kid", 2}).getVariable("_root").push({"createEmptyMovieClip"});
    a.act(op::CallMethod).act(op::Pop);
    a.push({"kid", "copy", 16384 + 5}).act(op::CloneSprite);
    a.push({0}).getVariable("copy").push({"getDepth"}).act(op::CallMethod).act(op::Trace);
    a.push({"copy"}).act(op::RemoveSprite);
    a.push({"copy"}).act(op::GetVariable).act(op::TypeOf).act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "5\nundefined\n");
}

TEST(Requests, GetUrlFsCommandAndLoadsGoToTheHost) {
    ActionWriter a;
    a.record(op::GetUrl,
             {'h', 't', 't', 'p', ':', '/', '/', 'x', 0, '_', 'b', 'l', 'a', 'n', 'k', 0});
    a.push({"vars.txt", "_level0"}).record(op::GetUrl2, {0x80});   // loadVariablesNum
    a.push({"child.swf", "_level1"}).record(op::GetUrl2, {0x00});  // loadMovieNum
    a.push({"FSCommand:quit", ""}).record(op::GetUrl2, {0x00});
    ScriptRun run(7, a);
    run.frames(1);
    ASSERT_EQ(run.host().requests.size(), 3u);
    EXPECT_EQ(run.host().requests[0], "getURL http://x _blank");
    EXPECT_EQ(run.host().requests[1], "loadVariables vars.txt");
    EXPECT_EQ(run.host().requests[2], "loadMovie child.swf");
    EXPECT_TRUE(run.host().quit);
}

TEST(TimeActions, GetTimeAndRandomComeFromTheHost) {
    ActionWriter a;
    a.act(op::GetTime).act(op::Trace);
    a.push({1}).act(op::RandomNumber).act(op::Trace);  // random(1) is always 0
    a.push({0}).act(op::RandomNumber).act(op::Trace);
    ScriptRun run(7, a);
    run.host().clock = 1234.7;
    EXPECT_EQ(run.frames(1), "1234\n0\n0\n");
}

TEST(JumpsOutOfBlocks, AJumpOutOfWithLeavesItsScope) {
    // with (o) { jump past the trace below } trace("skipped"); trace(p);
    ActionWriter skipped;
    skipped.trace("skipped");
    const auto skip = static_cast<std::uint16_t>(skipped.code().size());
    ActionWriter body;
    body.record(op::Jump,
                {static_cast<std::uint8_t>(skip & 0xff), static_cast<std::uint8_t>(skip >> 8)});
    ActionWriter a;
    a.push({"o", "p", "on o", 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("o").with(body);
    a.trace("skipped");
    a.getVariable("p").act(op::Trace);
    EXPECT_EQ(traceOf(7, a), "undefined\n");
}

TEST(JumpsOutOfBlocks, AJumpOutOfTryRunsFinallyFirst) {
    // try { jump past the trace below } finally { trace("finally") } trace("skipped");
    ActionWriter skipped;
    skipped.trace("skipped");
    const auto skip = static_cast<std::uint16_t>(skipped.code().size());
    ActionWriter fin;
    fin.trace("finally");
    // The jump counts from the end of the try body; the finally block lies in between.
    const auto over = static_cast<std::uint16_t>(skip + fin.code().size());
    ActionWriter body;
    body.record(op::Jump,
                {static_cast<std::uint8_t>(over & 0xff), static_cast<std::uint8_t>(over >> 8)});
    ActionWriter a;
    a.tryBlock(body, nullptr, &fin, "e");
    a.trace("skipped");
    a.trace("after");
    EXPECT_EQ(traceOf(7, a), "finally\nafter\n");
}

}  // namespace
}  // namespace zd::avm1test
