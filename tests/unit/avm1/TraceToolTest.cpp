// The development harness: reading a movie's frame scripts, the stand-in player's timeline,
// comparing traces with the recorded ones, running a corpus case folder.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Avm1TestSupport.h"
#include "TraceCase.h"
#include "engine/avm1/ActionReader.h"
#include "swfwriter/SwfWriter.h"

namespace zd::avm1test {
namespace {

namespace sw = zd::swfwriter;

TEST(TraceComparison, ExactUnlessApproximationsAllowNumbers) {
    avm1trace::Approximations none;
    EXPECT_TRUE(avm1trace::traceMatches("a\nb\n", "a\nb\n", none));
    EXPECT_FALSE(avm1trace::traceMatches("a\nb\n", "a\n", none));
    EXPECT_FALSE(avm1trace::traceMatches("0.1\n", "0.10000001\n", none));

    avm1trace::Approximations eps;
    eps.enabled = true;
    eps.epsilon = 1e-6;
    // Lines that are one number compare within epsilon.
    EXPECT_TRUE(avm1trace::traceMatches("0.1\n", "0.10000001\n", eps));
    EXPECT_FALSE(avm1trace::traceMatches("0.1\n", "0.2\n", eps));

    avm1trace::Approximations pattern = eps;
    pattern.numberPatterns.push_back("x=(\\d+\\.\\d+), y=(\\d+\\.\\d+)");
    EXPECT_TRUE(avm1trace::traceMatches("x=1.5, y=2.25\n", "x=1.5000001, y=2.2500001\n", pattern));
    // The text around the numbers must still agree.
    EXPECT_FALSE(avm1trace::traceMatches("x=1.5, y=2.25\n", "x=1.5, y=2.25!\n", pattern));
    EXPECT_FALSE(avm1trace::traceMatches("x=1.5, y=2.25\n", "x=1.5, y=3.25\n", pattern));
}

// A movie: frame 1 has a DoInitAction and a DoAction, frame 2 is labelled "second".
sw::Bytes scriptedMovie() {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, 20);
    ActionWriter init;
    init.trace("init");
    sw::Bytes initBody{1, 0};  // sprite id, then the actions
    const auto initCode = init.bytes();
    initBody.insert(initBody.end(), initCode.begin(), initCode.end());
    movie.rawTag(65, std::vector<std::uint8_t>{0x20, 0, 2, 0});  // ScriptLimits: 32 deep, 2 s
    movie.rawTag(59, initBody);
    ActionWriter one;
    one.trace("frame 1");
    movie.rawTag(12, one.bytes());
    movie.showFrame();
    movie.frameLabel("second");
    ActionWriter two;
    two.trace("frame 2").act(op::Stop);
    movie.rawTag(12, two.bytes());
    movie.showFrame();
    return movie.finish();
}

TEST(ScriptedMovies, FramesLabelsAndLimitsAreRead) {
    avm1trace::ScriptedMovie m;
    std::string why;
    ASSERT_TRUE(avm1trace::readScriptedMovie(scriptedMovie(), m, why)) << why;
    EXPECT_EQ(m.version, 8);
    EXPECT_EQ(m.frameRate, 20);
    ASSERT_EQ(m.frames.size(), 2u);
    EXPECT_EQ(m.frames[0].initActions.size(), 1u);
    EXPECT_EQ(m.frames[0].actions.size(), 1u);
    EXPECT_EQ(m.labels.at("second"), 2);
    ASSERT_TRUE(m.limits.has_value());
    EXPECT_EQ(m.limits->maxRecursion, 32);
    EXPECT_EQ(m.limits->timeout, std::chrono::seconds(2));
    const std::vector<std::uint8_t> junk{'F', 'W', 'S'};
    EXPECT_FALSE(avm1trace::readScriptedMovie(junk, m, why));
}

TEST(ScriptedMovies, TheRootTimelinePlaysLoopsAndStops) {
    avm1trace::ScriptedMovie m;
    std::string why;
    ASSERT_TRUE(avm1trace::readScriptedMovie(scriptedMovie(), m, why));
    avm1trace::TraceHost host(m);
    avm1::Vm vm(host, m.version);
    host.attachVm(&vm);
    for (int i = 0; i < 4; ++i) {
        host.stepFrame();
    }
    // Frame 2 stops the timeline: it stays there.
    ASSERT_EQ(host.lines.size(), 3u);
    EXPECT_EQ(host.lines[0], "init");
    EXPECT_EQ(host.lines[1], "frame 1");
    EXPECT_EQ(host.lines[2], "frame 2");
    EXPECT_EQ(host.currentFrame(), 2);
    EXPECT_EQ(host.labelFrame(avm1trace::TraceHost::kRoot, "SECOND"), 2);
}

TEST(ScriptedMovies, TicksRunFramesAsTheyFallDue) {
    ActionWriter a;
    a.act(op::GetTime).act(op::Trace);
    avm1trace::ScriptedMovie m = avm1trace::movieOf(8, {a.bytes(), a.bytes()});
    m.frameRate = 10;  // a frame every 100 ms
    avm1trace::TraceHost host(m);
    avm1::Vm vm(host, 8);
    host.attachVm(&vm);
    host.advance(250);  // frames at 0, 100 and 200 ms
    ASSERT_EQ(host.lines.size(), 3u);
    EXPECT_EQ(host.lines[2], "200");
}

TEST(CorpusCases, AFolderWithManifestMovieAndOutputIsRunAndCompared) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    const sw::Bytes movie = scriptedMovie();
    write("test.swf", QByteArray(reinterpret_cast<const char*>(movie.data()),
                                 static_cast<qsizetype>(movie.size())));
    write("manifest.json", R"({"kind": "trace", "num_frames": 2, "step_unit": "frames",
        "traces": [{"file": "output.txt", "empty": false}], "approximations": null})");
    write("output.txt", "init\nframe 1\nframe 2\n");
    auto outcome = avm1trace::runTraceCase(dir.path().toStdString());
    EXPECT_TRUE(outcome.ran);
    EXPECT_TRUE(outcome.passed) << outcome.actual;

    write("output.txt", "init\nframe 1\n");
    outcome = avm1trace::runTraceCase(dir.path().toStdString());
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.passed);

    write("manifest.json", R"({"kind": "image"})");
    EXPECT_FALSE(avm1trace::runTraceCase(dir.path().toStdString()).ran);
}

TEST(StandInLoads, FilesBesideTheMovieOnlyAndDeliveredOnTheNextFrame) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile f(dir.filePath("vars.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a=1&b=two");
    f.close();
    ActionWriter onLoad;
    onLoad.getVariable("ok").act(op::Trace);
    onLoad.push({"this"}).act(op::GetVariable).push({"b"}).act(op::GetMember).act(op::Trace);
    ActionWriter a;
    a.push({"lv", 0, "LoadVars"}).act(op::NewObject).act(op::SetVariable);
    a.getVariable("lv").push({"onLoad"}).defineFunction("", {"ok"}, onLoad).act(op::SetMember);
    a.push({"vars.txt", 1}).getVariable("lv").push({"load"}).act(op::CallMethod).act(op::Pop);
    a.trace("requested");
    ScriptRun run(8, a);
    run.host().baseDir = dir.path().toStdString();
    EXPECT_EQ(run.frames(1), "requested\ntrue\ntwo\n");
}

TEST(ActionListing, RecordsAndOperandsAreListedAndTruncationNoticed) {
    ActionWriter a;
    a.constantPool({"x"}).push({Const{0}, 1.5, Reg{2}}).act(op::Trace);
    const auto top = a.newLabel();
    a.bind(top).jump(top);
    const std::string listing = avm1::disassemble(a.bytes());
    EXPECT_NE(listing.find("ConstantPool c0=\"x\""), std::string::npos);
    EXPECT_NE(listing.find("Push c0, 1.5, r2"), std::string::npos);
    EXPECT_NE(listing.find("Jump -> "), std::string::npos);
    EXPECT_NE(listing.find("End"), std::string::npos);

    auto code = a.code();
    code.push_back(op::Push);
    code.push_back(0x10);  // a length past the end
    code.push_back(0x00);
    avm1::ActionReader reader(code);
    avm1::ActionRecord r;
    int records = 0;
    while (reader.next(r)) {
        ++records;
    }
    EXPECT_EQ(records, 4);  // ConstantPool, Push, Trace, Jump
    EXPECT_TRUE(reader.truncated());
    EXPECT_NE(avm1::disassemble(code).find("truncated"), std::string::npos);
}

}  // namespace
}  // namespace zd::avm1test
