// Replays the action fuzzer's findings (tests/fuzz/avm1-regressions) and hostile scripts:
// each must end, quickly, without a crash.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "FuzzActions.h"
#include "swfwriter/ActionWriter.h"

namespace sw = zd::swfwriter;
namespace op = zd::swfwriter::op;

namespace {

zd::fuzz::ActionsRun runScript(int version, const sw::ActionWriter& a) {
    std::vector<std::uint8_t> input{static_cast<std::uint8_t>(version - 3)};
    const auto code = a.bytes();
    input.insert(input.end(), code.begin(), code.end());
    return zd::fuzz::runActions(input);
}

}  // namespace

TEST(Avm1FuzzRegressions, EveryKeptInputEnds) {
    const QDir dir(QStringLiteral(ZD_SOURCE_DIR "/tests/fuzz/avm1-regressions"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty()) << "no inputs in " << dir.path().toStdString();
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray data = f.readAll();
        QElapsedTimer timer;
        timer.start();
        zd::fuzz::runActions(
            {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())});
        // Two frames and the timers, each script stopped after 100 ms at most.
        EXPECT_LT(timer.elapsed(), 5000);
    }
}

TEST(HostileScripts, AHugeConstantPoolIsReadWithinItsRecord) {
    std::vector<std::string> strings(20000, "s");
    sw::ActionWriter a;
    a.constantPool(strings).push({sw::Const{19999}}).act(op::Trace);
    EXPECT_EQ(runScript(7, a).traces, 2u);  // once per frame
    // A count larger than the strings present stops at the record's end.
    sw::ActionWriter lying;
    lying.record(op::ConstantPool, {0xff, 0xff, 'a', 0}).push({sw::Const{1}}).act(op::Trace);
    EXPECT_EQ(runScript(7, lying).traces, 2u);
}

TEST(HostileScripts, UnboundedRecursionIsStopped) {
    sw::ActionWriter body;
    body.push({0, "f"}).act(op::CallFunction).act(op::Pop);
    sw::ActionWriter a;
    a.defineFunction("f", {}, body);
    a.push({0, "f"}).act(op::CallFunction);
    const auto run = runScript(7, a);
    EXPECT_EQ(run.errors, 2u);
}

TEST(HostileScripts, MutualPrototypeLoopsAndGettersEnd) {
    // a.__proto__ = b; b.__proto__ = a; a.addProperty("x", a.x getter reading b.x, null)
    sw::ActionWriter getter;
    getter.push({"b"}).act(op::GetVariable).push({"x"}).act(op::GetMember).act(op::Return);
    sw::ActionWriter a;
    a.push({"a", 0}).act(op::InitObject).act(op::SetVariable);
    a.push({"b", 0}).act(op::InitObject).act(op::SetVariable);
    a.push({sw::Null{}}).defineFunction("", {}, getter).push({"x", 3, "a"});
    a.act(op::GetVariable).push({"addProperty"}).act(op::CallMethod).act(op::Trace);
    a.push({"a"}).act(op::GetVariable).push({"__proto__", "b"}).act(op::GetVariable);
    a.act(op::SetMember);
    a.push({"b"}).act(op::GetVariable).push({"__proto__", "a"}).act(op::GetVariable);
    a.act(op::SetMember);
    a.push({"b"}).act(op::GetVariable).push({"missing"}).act(op::GetMember).act(op::Trace);
    a.push({"a"}).act(op::GetVariable).push({"x"}).act(op::GetMember).act(op::Trace);
    const auto run = runScript(7, a);
    // Reading through the loop stops the script, as the reference player does; each frame
    // gets as far as its first trace and the player goes on.
    EXPECT_EQ(run.errors, 2u);
    EXPECT_EQ(run.traces, 2u);
}

TEST(HostileScripts, EndlessTimersAndLoopsAreStoppedEachTime) {
    sw::ActionWriter loop;
    const auto top = loop.newLabel();
    loop.bind(top).jump(top);
    sw::ActionWriter a;
    a.push({1}).defineFunction("", {}, loop).push({2, "setInterval"}).act(op::CallFunction);
    a.act(op::Pop);
    QElapsedTimer timer;
    timer.start();
    const auto run = runScript(7, a);
    EXPECT_GE(run.errors, 3u);
    EXPECT_LT(timer.elapsed(), 5000);
}
