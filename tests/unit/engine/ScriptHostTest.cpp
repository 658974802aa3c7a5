// Scripts on the player's display tree: the order frame actions run in, clip properties as
// scripts read and write them, clips made and removed by scripts (handles going dead), classes
// bound to symbols, timers at the tick, the time limit, and what local loads may read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "RenderSupport.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/ActionWriter.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace w = zd::swfwriter;
namespace op = zd::swfwriter::op;
using w::ActionWriter;

namespace {

void doAction(w::Timeline& t, const ActionWriter& a) {
    const auto bytes = a.bytes();
    t.rawTag(12, bytes);
}

void doInitAction(w::Timeline& t, std::uint16_t sprite, const ActionWriter& a) {
    auto body = a.bytes();
    body.insert(body.begin(),
                {static_cast<std::uint8_t>(sprite & 0xff), static_cast<std::uint8_t>(sprite >> 8)});
    t.rawTag(59, body);
}

void exportAs(w::Timeline& t, std::uint16_t id, const std::string& name) {
    std::vector<std::uint8_t> body = {1, 0, static_cast<std::uint8_t>(id & 0xff),
                                      static_cast<std::uint8_t>(id >> 8)};
    body.insert(body.end(), name.begin(), name.end());
    body.push_back(0);
    t.rawTag(56, body);
}

// A sprite of one empty frame.
std::uint16_t emptySprite(w::MovieWriter& m) {
    w::Timeline empty;
    empty.showFrame();
    return m.defineSprite(empty);
}

w::PlaceObject named(std::uint16_t depth, std::uint16_t id, const std::string& name) {
    auto p = w::PlaceObject::place(depth, id);
    p.name = name;
    return p;
}

// trace(text)
ActionWriter traced(const std::string& text) {
    ActionWriter a;
    a.trace(std::string_view(text));
    return a;
}

// obj.method(args...) with its result dropped; obj is a variable or path.
ActionWriter& callMethod(ActionWriter& a, const std::string& obj, const std::string& method,
                         std::initializer_list<w::PushItem> args = {}) {
    std::vector<w::PushItem> reversed(args.begin(), args.end());
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) {
        a.push({*it});
    }
    a.push({static_cast<int>(args.size())});
    a.getVariable(obj);
    a.push({std::string_view(method)}).act(op::CallMethod);
    return a;
}

// trace(obj.member)
ActionWriter& traceMember(ActionWriter& a, const std::string& obj, const std::string& member) {
    a.getVariable(obj).push({std::string_view(member)}).act(op::GetMember).act(op::Trace);
    return a;
}

// obj.member = v
ActionWriter& setMember(ActionWriter& a, const std::string& obj, const std::string& member,
                        const w::PushItem& v) {
    a.getVariable(obj).push({std::string_view(member), v}).act(op::SetMember);
    return a;
}

w::MovieWriter newMovie(std::uint8_t version = 8) {
    return w::MovieWriter(version, w::Rect{0, 8000, 0, 6000}, 24);
}

// A movie on the player with its scripts; what it traces is kept.
struct ScriptedRun {
    explicit ScriptedRun(const w::Bytes& file, const std::string& baseDir = {})
        : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        player->setRootLoops(true);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->setBaseDir(baseDir);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        host->onError = [this](std::string_view e) { errors.emplace_back(e); };
        player->settle();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            player->tick();
        }
    }
    std::vector<std::string> take() { return std::exchange(lines, {}); }

    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    std::vector<std::string> lines;
    std::vector<std::string> errors;
};

using Lines = std::vector<std::string>;

// Sprite with a trace on each of its frames: "<name> <frame>".
std::uint16_t tracingSprite(w::MovieWriter& m, const std::string& name, int frames) {
    w::Timeline t;
    for (int f = 1; f <= frames; ++f) {
        doAction(t, traced(name + " " + std::to_string(f)));
        t.showFrame();
    }
    return m.defineSprite(t);
}

}  // namespace

TEST(ScriptHost, ClipsMadeLaterRunTheirFramesFirstAndTheRootLast) {
    auto m = newMovie();
    const auto inner = tracingSprite(m, "inner", 3);
    // Sprite a places inner on its second frame.
    w::Timeline a;
    doAction(a, traced("a 1"));
    a.showFrame();
    doAction(a, traced("a 2"));
    a.placeObject2(named(1, inner, "inner"));
    a.showFrame();
    doAction(a, traced("a 3"));
    a.showFrame();
    const auto aId = m.defineSprite(a);
    const auto b = tracingSprite(m, "b", 3);
    doAction(m, traced("root 1"));
    m.placeObject2(named(1, aId, "a"));
    m.placeObject2(named(2, b, "b"));
    m.showFrame();
    doAction(m, traced("root 2"));
    m.showFrame();
    doAction(m, traced("root 3"));
    m.showFrame();
    ScriptedRun r(m.finish());
    // New clips run their first frame right after the frame that placed them.
    EXPECT_EQ(r.take(), (Lines{"root 1", "a 1", "b 1"}));
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"b 2", "a 2", "inner 1", "root 2"}));
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"inner 2", "b 3", "a 3", "root 3"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(ScriptHost, AGoToRunsTheClipsItMakesBeforeTheFrameGoneTo) {
    auto m = newMovie();
    const auto child = tracingSprite(m, "child", 1);
    ActionWriter go;
    go.trace("root 1").gotoFrame(2);  // frame 3
    doAction(m, go);
    m.showFrame();
    doAction(m, traced("root 2"));
    m.showFrame();
    m.placeObject2(named(1, child, "child"));
    doAction(m, traced("root 3"));
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"root 1", "child 1", "root 3"}));
}

TEST(ScriptHost, GeometryPropertiesKeepWhatScriptsSet) {
    auto m = newMovie();
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    ActionWriter a;
    setMember(a, "mc", "_x", 10.35);
    traceMember(a, "mc", "_x");  // kept in twips
    setMember(a, "mc", "_rotation", 270);
    traceMember(a, "mc", "_rotation");  // brought into (-180, 180]
    setMember(a, "mc", "_xscale", -50);
    traceMember(a, "mc", "_xscale");
    traceMember(a, "mc", "_rotation");
    setMember(a, "mc", "_alpha", 33);
    traceMember(a, "mc", "_alpha");  // 8.8 fixed point
    setMember(a, "mc", "_visible", false);
    traceMember(a, "mc", "_visible");
    setMember(a, "mc", "_name", "renamed");
    traceMember(a, "renamed", "_name");
    traceMember(a, "renamed", "_target");
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(),
              (Lines{"10.35", "-90", "-50", "-90", "32.8125", "false", "renamed", "/renamed"}));
    const DisplayObject* mc = r.player->root().timeline()->childByName("renamed", false);
    ASSERT_NE(mc, nullptr);
    EXPECT_EQ(mc->matrix().tx, 207);
    EXPECT_FALSE(mc->visible());
}

TEST(ScriptHost, BlendModeTakesNamesAndNumbersAndIgnoresTheRest) {
    auto m = newMovie();
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    ActionWriter a;
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", "layer");
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", 259.0);  // numbers count modulo 256
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", "Invert");  // names match exactly: left as it was
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", true);
    setMember(a, "mc", "blendMode", -1.0);
    setMember(a, "mc", "blendMode", 15.0);
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", w::Null{});
    traceMember(a, "mc", "blendMode");
    setMember(a, "mc", "blendMode", 14.9);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"normal", "layer", "multiply", "multiply", "multiply", "normal"}));
    const DisplayObject* mc = r.player->root().timeline()->childByName("mc", false);
    ASSERT_NE(mc, nullptr);
    EXPECT_EQ(mc->blendMode(), 14);  // hardlight, the fraction cut off
}

TEST(ScriptHost, SetMaskAnswersWhetherItFoundAMask) {
    auto m = newMovie();
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    m.placeObject2(named(2, id, "m"));
    ActionWriter a;
    a.push({"notAClip", 5}).act(op::SetVariable);
    a.push({"42"}).getVariable("m").act(op::SetVariable);         // _root[42] = m
    callMethod(a, "mc", "setMask").act(op::Trace);                // no argument: no answer
    callMethod(a, "mc", "setMask", {"nothing"}).act(op::Trace);   // no such clip
    callMethod(a, "mc", "setMask", {"notAClip"}).act(op::Trace);  // a variable, not a clip
    callMethod(a, "mc", "setMask", {42}).act(op::Trace);          // a number names one too
    callMethod(a, "mc", "setMask", {"nothing"}).act(op::Trace);   // the mask stays
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"undefined", "false", "false", "true", "false"}));
    const auto* root = r.player->root().timeline();
    const DisplayObject* mc = root->childByName("mc", false);
    const DisplayObject* mask = root->childByName("m", false);
    ASSERT_NE(mc, nullptr);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mc->scriptMask(), mask->id());
    EXPECT_TRUE(mask->masksByScript());
}

TEST(ScriptHost, GradientCallsOutOfRangeOrTooLongAreIgnored) {
    // Each clip fills red, then asks for a gradient the call refuses: the red fill stays.
    // A ratio of 255.9 counts as 255 and is taken.
    auto m = newMovie();
    struct Case {
        const char* clip;
        double ratio;
        int extra;  // arguments past the matrix
        bool gradient;
    };
    const Case cases[] = {{"high", 256, 0, false},
                          {"low", -1, 0, false},
                          {"long", 0, 4, false},
                          {"whole", 255.9, 0, true}};
    ActionWriter a;
    int depth = 1;
    for (const Case& c : cases) {
        callMethod(a, "_root", "createEmptyMovieClip", {c.clip, depth++}).act(op::Pop);
        callMethod(a, c.clip, "beginFill", {0xff0000}).act(op::Pop);
        // clip.beginGradientFill("linear", [0xff], [100], [ratio], {a: 1, d: 1}, "pad"...)
        for (int i = c.extra; i > 0; --i) {
            a.push({"pad"});
        }
        a.push({"a", 1, "d", 1, 2}).act(op::InitObject);
        a.push({c.ratio, 1}).act(op::InitArray);
        a.push({100, 1}).act(op::InitArray);
        a.push({0xff, 1}).act(op::InitArray);
        a.push({"linear", 5 + c.extra});
        a.getVariable(c.clip).push({"beginGradientFill"}).act(op::CallMethod).act(op::Pop);
        callMethod(a, c.clip, "lineTo", {100, 0}).act(op::Pop);
        callMethod(a, c.clip, "lineTo", {100, 100}).act(op::Pop);
        callMethod(a, c.clip, "endFill").act(op::Pop);
    }
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    for (const Case& c : cases) {
        const DisplayObject* o = r.player->root().timeline()->childByName(c.clip, false);
        ASSERT_NE(o, nullptr) << c.clip;
        ASSERT_NE(o->drawing(), nullptr) << c.clip;
        bool gradient = false;
        for (const auto& group : o->drawing()->as<ShapeDefinition>()->styleGroups) {
            for (const FillStyle& f : group.fills) {
                gradient = gradient || f.type == FillStyle::LinearGradient;
            }
        }
        EXPECT_EQ(gradient, c.gradient) << c.clip;
    }
}

TEST(ScriptHost, ScrollRectAndOpaqueBackgroundRoundTrip) {
    auto m = newMovie();
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    m.placeObject2(named(2, id, "other"));
    ActionWriter a;
    traceMember(a, "mc", "scrollRect");
    // mc.scrollRect = {x: 1.5, y: 2, width: 30, height: "40"}: any object with the four
    a.getVariable("mc").push({"scrollRect", "x", 1.5, "y", 2, "width", 30, "height", "40", 4});
    a.act(op::InitObject).act(op::SetMember);
    a.getVariable("mc").push({"scrollRect"}).act(op::GetMember).push({"height"});
    a.act(op::GetMember).act(op::Trace);
    // other.scrollRect = mc.scrollRect (a Rectangle); then null takes it away again.
    a.getVariable("other").push({"scrollRect"}).getVariable("mc").push({"scrollRect"});
    a.act(op::GetMember).act(op::SetMember);
    setMember(a, "other", "scrollRect", w::Null{});
    traceMember(a, "mc", "opaqueBackground");
    setMember(a, "mc", "opaqueBackground", static_cast<double>(0x12345678));
    traceMember(a, "mc", "opaqueBackground");
    setMember(a, "other", "opaqueBackground", 255);
    setMember(a, "other", "opaqueBackground", w::Undefined{});
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"undefined", "40", "undefined", std::to_string(0x345678)}));
    const auto* root = r.player->root().timeline();
    const DisplayObject* mc = root->childByName("mc", false);
    const DisplayObject* other = root->childByName("other", false);
    ASSERT_NE(mc, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(mc->scrollRect());
    EXPECT_EQ(*mc->scrollRect(), (ScrollRect{30, 40, 600, 800}));  // twips
    EXPECT_EQ(mc->opaqueBackground(), (Rgba{0x34, 0x56, 0x78, 255}));
    EXPECT_FALSE(other->scrollRect());
    EXPECT_FALSE(other->opaqueBackground());
}

TEST(ScriptHost, RemovedClipsLeaveDeadHandlesAndUnloadOnce) {
    auto m = newMovie(7);
    const auto id = emptySprite(m);
    exportAs(m, id, "Empty");
    ActionWriter a;
    callMethod(a, "_root", "attachMovie", {"Empty", "made", 5});
    a.push({"kept"}).act(op::StackSwap).act(op::SetVariable);
    // made.onUnload = function () { trace("unload " + this._name); }
    ActionWriter unload;
    unload.push({"unload "}).getVariable("this").push({"_name"}).act(op::GetMember).act(op::Add2);
    unload.act(op::Trace);
    a.getVariable("kept").push({"onUnload"}).defineFunction("", {}, unload).act(op::SetMember);
    callMethod(a, "kept", "removeMovieClip").act(op::Pop);
    // Its handler still due, it waits aside, mirrored below every depth, until the next frame.
    traceMember(a, "kept", "_name");
    callMethod(a, "kept", "getDepth").act(op::Trace);
    callMethod(a, "kept", "removeMovieClip").act(op::Pop);  // no depth a script may empty
    doAction(m, a);
    m.showFrame();
    ActionWriter next;
    traceMember(next, "kept", "_name");
    next.getVariable("kept").act(op::TypeOf).act(op::Trace);
    callMethod(next, "kept", "removeMovieClip").act(op::Pop);  // a dead handle does nothing
    doAction(m, next);
    m.showFrame();
    ScriptedRun r(m.finish());
    // The unload handler runs once the script that removed the clip is done.
    EXPECT_EQ(r.take(), (Lines{"made", "-32774", "unload made"}));
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"undefined", "movieclip"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(ScriptHost, ClipsTellTheirMoviesVersionAndSize) {
    auto m = newMovie(6);
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "kid"));
    ActionWriter a;
    callMethod(a, "_root", "getSWFVersion").act(op::Trace);
    callMethod(a, "_root", "getBytesTotal");
    callMethod(a, "_root", "getBytesLoaded").act(op::Equals2).act(op::Trace);
    callMethod(a, "_root", "getBytesTotal").act(op::Trace);
    // A sprite counts the bytes of its own tags: a ShowFrame and the End.
    callMethod(a, "kid", "getBytesTotal").act(op::Trace);
    callMethod(a, "kid", "getSWFVersion").act(op::Trace);
    doAction(m, a);
    m.showFrame();
    const w::Bytes file = m.finish();
    ScriptedRun r(file);
    EXPECT_EQ(r.take(), (Lines{"6", "true", std::to_string(file.size()), "4", "6"}));
}

TEST(ScriptHost, AttachMovieBindsTheRegisteredClassAfterTheInitObject) {
    auto m = newMovie(7);
    const auto id = emptySprite(m);
    exportAs(m, id, "Sym");
    ActionWriter a;
    // function Ball() { trace("ctor " + this.speed + " " + this.kind); }
    ActionWriter ctor;
    ctor.push({"ctor "}).getVariable("this").push({"speed"}).act(op::GetMember).act(op::Add2);
    ctor.push({" "}).act(op::Add2);
    ctor.getVariable("this").push({"kind"}).act(op::GetMember).act(op::Add2).act(op::Trace);
    a.defineFunction("Ball", {}, ctor);
    // Ball.prototype.kind = "ball"
    a.getVariable("Ball")
        .push({"prototype"})
        .act(op::GetMember)
        .push({"kind", "ball"})
        .act(op::SetMember);
    doAction(m, a);
    ActionWriter b;
    // Object.registerClass("Sym", Ball) properly: the class as a value.
    b.getVariable("Ball")
        .push({"Sym", 2})
        .getVariable("Object")
        .push({"registerClass"})
        .act(op::CallMethod)
        .act(op::Pop);
    // _root.attachMovie("Sym", "ball", 1, {speed: 3})
    b.push({"speed", 3, 1}).act(op::InitObject).push({1, "ball", "Sym", 4});
    b.getVariable("_root").push({"attachMovie"}).act(op::CallMethod).act(op::Pop);
    // Depths beyond what scripts may use make nothing.
    callMethod(b, "_root", "attachMovie", {"Sym", "deep", 2130690045}).act(op::Trace);
    callMethod(b, "_root", "attachMovie", {"Sym", "deepest", 2130690044}).act(op::Trace);
    doAction(m, b);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(),
              (Lines{"ctor 3 ball", "undefined", "ctor undefined ball", "_level0.deepest"}));
}

TEST(ScriptHost, IntervalsRunAtTheTicksTimerStep) {
    auto m = newMovie(7);
    ActionWriter a;
    ActionWriter fn;
    fn.trace("tick");
    // setInterval(function () { trace("tick"); }, 40): once a frame at 24 frames a second.
    a.push({40}).defineFunction("", {}, fn).push({2, "setInterval"}).act(op::CallFunction);
    a.act(op::Pop).act(op::Stop);
    doAction(m, a);
    m.showFrame();
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_TRUE(r.take().empty());
    EXPECT_TRUE(r.player->needsTicks());  // a held root with an interval still ticks
    r.ticks(2);
    EXPECT_EQ(r.take(), (Lines{"tick", "tick"}));
}

// A still movie ticks while an enterFrame handler is set and stops once it is deleted.
TEST(ScriptHost, TicksAreWantedWhileAnEnterFrameHandlerIsSet) {
    auto m = newMovie(7);
    ActionWriter fn;
    fn.trace("ef");
    fn.push({"_root"}).act(op::GetVariable).push({"onEnterFrame"}).act(op::Delete).act(op::Pop);
    ActionWriter a;
    a.push({"_root"}).act(op::GetVariable).push({"onEnterFrame"}).defineFunction("", {}, fn);
    a.act(op::SetMember).act(op::Stop);
    doAction(m, a);
    m.showFrame();
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_TRUE(r.player->needsTicks());  // the handler set by the first frame
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"ef"}));
    EXPECT_TRUE(r.player->needsTicks());  // it ran this tick: the next one tells
    r.ticks(1);
    EXPECT_TRUE(r.take().empty());
    EXPECT_FALSE(r.player->needsTicks());
}

TEST(ScriptHost, ARunawayScriptIsCutOffAndThePlayerGoesOn) {
    auto m = newMovie(7);
    // ScriptLimits: recursion 256, one second.
    const std::uint8_t limits[] = {0, 1, 1, 0};
    m.rawTag(65, limits);
    ActionWriter loop;
    const auto top = loop.newLabel();
    loop.bind(top).push({true}).ifTrue(top);
    doAction(m, loop);
    m.showFrame();
    doAction(m, traced("after"));
    m.showFrame();
    ScriptedRun r(m.finish());
    ASSERT_EQ(r.errors.size(), 1u);
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"after"}));
}

TEST(ScriptHost, GoingPastTheLastFrameOrToAnotherClipsFrame) {
    auto m = newMovie(7);
    const auto child = tracingSprite(m, "child", 3);
    m.placeObject2(named(1, child, "child"));
    ActionWriter a;
    callMethod(a, "_root", "gotoAndStop", {99}).act(op::Pop);
    traceMember(a, "_root", "_currentframe");
    // Frame 3 of the clip at path /child, through the root's gotoAndStop.
    callMethod(a, "_root", "gotoAndStop", {"/child:3"}).act(op::Pop);
    doAction(m, a);
    m.showFrame();
    m.showFrame();
    ScriptedRun r(m.finish());
    // The child starts at its tag, before the frame's actions; a go-to by value past the
    // end stops on the last frame.
    EXPECT_EQ(r.take(), (Lines{"child 1", "2", "child 3"}));
}

TEST(ScriptHost, LocalLoadsReadTheMoviesFolderOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("movie");
    QDir(dir.path()).mkdir("movie/data");
    auto write = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write(dir.path() + "/movie/data/vars.txt", "a=1");
    write(dir.path() + "/secret.txt", "secret");
    QFile::link(dir.path() + "/secret.txt", dir.path() + "/movie/link.txt");
    auto m = newMovie(7);
    m.showFrame();
    ScriptedRun r(m.finish(), (dir.path() + "/movie").toStdString());
    const auto& host = *r.host;
    EXPECT_EQ(host.readLocal("data/vars.txt"), std::optional<std::string>("a=1"));
    EXPECT_EQ(host.readLocal("data/vars.txt?x=1"), std::optional<std::string>("a=1"));
    EXPECT_EQ(
        host.readLocal(
            QUrl::fromLocalFile(dir.path() + "/movie/data/vars.txt").toString().toStdString()),
        std::optional<std::string>("a=1"));
    for (const std::string& refused :
         {std::string("../secret.txt"), std::string("data/../../secret.txt"),
          (dir.path() + "/secret.txt").toStdString(),
          QUrl::fromLocalFile(dir.path() + "/secret.txt").toString().toStdString(),
          std::string("link.txt"), std::string("http://example.com/vars.txt"),
          std::string("missing.txt"), std::string("data"), std::string("")}) {
        EXPECT_FALSE(host.readLocal(refused)) << refused;
    }
    ScriptedRun noFolder(m.finish());
    EXPECT_FALSE(noFolder.host->readLocal("data/vars.txt"));
}

TEST(ScriptHost, InitActionsRunOnceAndBeforeTheFramesActions) {
    auto m = newMovie(7);
    const auto sprite = tracingSprite(m, "sprite", 1);
    doAction(m, traced("root"));
    doInitAction(m, sprite, traced("init"));
    m.placeObject2(named(1, sprite, "s"));
    m.showFrame();
    m.removeObject2(1);
    m.showFrame();
    doInitAction(m, sprite, traced("init again"));
    m.placeObject2(named(1, sprite, "s"));
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"init", "root", "sprite 1"}));
    r.ticks(2);
    EXPECT_EQ(r.take(), (Lines{"sprite 1"}));
}

TEST(ScriptHost, BoundsAndPointsThroughNestedTransforms) {
    auto m = newMovie(7);
    w::ShapeBuilder shape;
    shape.fill1(shape.addFillStyle(w::FillStyle::solid({0, 0, 255, 255})));
    shape.rectangle(0, 0, 400, 200);  // 20 x 10 pixels
    const auto shapeId = m.defineShape(shape);
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, shapeId));
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);
    // outer at (100, 50), twice as large.
    auto place = named(1, innerId, "outer");
    place.matrix = w::Matrix::transform(2, 2, 0, 2000, 1000);
    m.placeObject2(place);
    ActionWriter a;
    // b = outer.getBounds(_root); trace(b.xMin + " " + b.yMin + " " + b.xMax + " " + b.yMax)
    a.push({"b"}).getVariable("_root").push({1}).getVariable("outer").push({"getBounds"});
    a.act(op::CallMethod).act(op::SetVariable);
    a.getVariable("b").push({"xMin"}).act(op::GetMember);
    for (const char* side : {"yMin", "xMax", "yMax"}) {
        a.push({" "}).act(op::Add2).getVariable("b").push({side}).act(op::GetMember).act(op::Add2);
    }
    a.act(op::Trace);
    traceMember(a, "outer", "_width");
    traceMember(a, "outer", "_height");
    // p = {x: 10, y: 5}; outer.localToGlobal(p); trace(p.x + "," + p.y); and back.
    auto tracePoint = [&a] {
        a.getVariable("p").push({"x"}).act(op::GetMember).push({","}).act(op::Add2);
        a.getVariable("p").push({"y"}).act(op::GetMember).act(op::Add2).act(op::Trace);
    };
    a.push({"p", "x", 10, "y", 5, 2}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("p").push({1}).getVariable("outer").push({"localToGlobal"}).act(op::CallMethod);
    a.act(op::Pop);
    tracePoint();
    a.getVariable("p").push({1}).getVariable("outer").push({"globalToLocal"}).act(op::CallMethod);
    a.act(op::Pop);
    tracePoint();
    callMethod(a, "outer", "hitTest", {110, 55, true}).act(op::Trace);
    callMethod(a, "outer", "hitTest", {200, 200, true}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"100 50 140 70", "40", "20", "120,60", "10,5", "true", "false"}));
}

TEST(ScriptHost, AScriptWhoseClipWentFindsVariablesOnTheRoot) {
    auto m = newMovie(7);
    // The child's frame sends the root to a frame without the child, then reads a variable.
    w::Timeline child;
    ActionWriter c;
    c.setTarget("_root").gotoFrame(1).setTarget("");
    c.getVariable("where").act(op::Trace);
    doAction(child, c);
    child.showFrame();
    const auto childId = m.defineSprite(child);
    ActionWriter a;
    a.setVariable("where", "root").act(op::Stop);
    doAction(m, a);
    m.placeObject2(named(1, childId, "child"));
    m.showFrame();
    m.removeObject2(1);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"root"}));
    EXPECT_EQ(r.player->root().timeline()->childByName("child", false), nullptr);
}

TEST(ScriptHost, AClassRegisteredLaterInTheFrameStillBindsBeforeTheFramesActions) {
    auto m = newMovie(7);
    const auto id = emptySprite(m);
    exportAs(m, id, "Sym");
    doAction(m, traced("frame"));
    m.placeObject2(named(1, id, "made"));
    // After the placement: function C() { trace("ctor " + this._name); }
    // Object.registerClass("Sym", C)
    ActionWriter init;
    ActionWriter ctor;
    ctor.push({"ctor "}).getVariable("this").push({"_name"}).act(op::GetMember).act(op::Add2);
    ctor.act(op::Trace);
    init.defineFunction("C", {}, ctor);
    init.getVariable("C").push({"Sym", 2}).getVariable("Object").push({"registerClass"});
    init.act(op::CallMethod).act(op::Pop);
    doInitAction(m, id, init);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"ctor made", "frame"}));
}

TEST(ScriptHost, PropertiesIgnoreNaNAndTakeInfinityTheirOwnWay) {
    auto m = newMovie(6);
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    ActionWriter a;
    setMember(a, "mc", "_x", 5);
    setMember(a, "mc", "_x", w::Undefined{});  // NaN in every version: kept
    traceMember(a, "mc", "_x");
    setMember(a, "mc", "_visible", "abc");  // not a number: kept
    traceMember(a, "mc", "_visible");
    a.getVariable("mc").push({"_x", 1.0, 0.0}).act(op::Divide).act(op::SetMember);
    traceMember(a, "mc", "_x");  // the lowest twip
    a.getVariable("mc").push({"_xscale", 1.0, 0.0}).act(op::Divide).act(op::SetMember);
    traceMember(a, "mc", "_xscale");
    setMember(a, "mc", "_highquality", 0);
    traceMember(a, "mc", "_quality");
    setMember(a, "mc", "_quality", "best");
    traceMember(a, "mc", "_highquality");
    setMember(a, "mc", "_soundbuftime", 2.5);
    traceMember(a, "mc", "_soundbuftime");
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"5", "true", "-107374182.4", "Infinity", "LOW", "2", "2"}));
    const DisplayObject* mc = r.player->root().timeline()->childByName("mc", false);
    ASSERT_NE(mc, nullptr);
    EXPECT_EQ(mc->matrix().a, 0.0);  // an infinite scale draws nothing
    EXPECT_TRUE(r.errors.empty());
}

TEST(ScriptHost, UnnamedClipsAreNumberedInTheOrderTheyArePlaced) {
    auto m = newMovie(7);
    w::Timeline leaf;
    ActionWriter say;
    say.push({"leaf "}).push({"", 13}).act(op::GetProperty).act(op::Add2).act(op::Trace);
    doAction(leaf, say);
    leaf.showFrame();
    const auto leafId = m.defineSprite(leaf);
    w::Timeline box;
    box.placeObject2(w::PlaceObject::place(1, leafId));
    box.showFrame();
    const auto boxId = m.defineSprite(box);
    w::ShapeBuilder shape;
    shape.fill1(shape.addFillStyle(w::FillStyle::solid({0, 0, 255, 255})));
    shape.rectangle(0, 0, 400, 200);
    const auto shapeId = m.defineShape(shape);
    m.placeObject2(w::PlaceObject::place(1, boxId));
    m.placeObject2(named(2, shapeId, "drawn"));
    m.placeObject2(w::PlaceObject::place(3, leafId));
    ActionWriter a;
    // A shape has no object of its own: by name or depth it is the clip it is drawn in.
    a.getVariable("drawn").act(op::Trace);
    callMethod(a, "_root", "getInstanceAtDepth", {-16382}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    // Each sprite runs its first frame where its tag places it: the box and its leaf, then
    // the root's leaf, and the root's own actions after the tags before them.
    EXPECT_EQ(r.take(), (Lines{"leaf instance2", "leaf instance3", "_level0", "_level0"}));
}

TEST(ScriptHost, GoToByValueSkipsFramesThatCannotBe) {
    auto m = newMovie(7);
    ActionWriter a;
    a.act(op::Stop);
    for (const double frame : {0.0, -3.0, 2.5, 4294967298.0}) {
        a.push({frame}).record(op::GotoFrame2, {0});
        a.push({"", 4}).act(op::GetProperty).act(op::Trace);
    }
    doAction(m, a);
    for (int f = 0; f < 3; ++f) {
        m.showFrame();
    }
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"1", "1", "1", "2"}));
}

TEST(ScriptHost, ASpriteRunsItsFirstFrameWhereItsTagPlacesIt) {
    auto m = newMovie(8);
    const auto child = tracingSprite(m, "child", 1);
    doAction(m, traced("root before"));
    m.placeObject2(named(1, child, "child"));
    doAction(m, traced("root after"));
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"root before", "child 1", "root after"}));
}

TEST(ScriptHost, SpritesLoopOnlyWhenEveryFrameIsShownAndTheyEnd) {
    auto m = newMovie(8);
    const auto whole = tracingSprite(m, "whole", 2);
    // Its second frame's tags have no ShowFrame after them.
    w::Timeline partial;
    doAction(partial, traced("partial 1"));
    partial.showFrame();
    doAction(partial, traced("partial 2"));
    const auto partialId = m.defineSprite(partial);
    // Two whole frames, but no End tag.
    w::Timeline cut;
    doAction(cut, traced("cut 1"));
    cut.showFrame();
    doAction(cut, traced("cut 2"));
    cut.showFrame();
    const std::uint16_t cutId = m.nextCharacterId();
    w::Bytes body = {static_cast<std::uint8_t>(cutId & 0xff), static_cast<std::uint8_t>(cutId >> 8),
                     2, 0};
    body.insert(body.end(), cut.tags().begin(), cut.tags().end());
    m.rawTag(39, body);
    m.placeObject2(named(1, whole, "whole"));
    m.placeObject2(named(2, partialId, "partial"));
    m.placeObject2(named(3, cutId, "cut"));
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"whole 1", "partial 1", "cut 1"}));
    r.ticks(3);
    // The partial frame runs once; only the whole sprite goes back to its first frame.
    EXPECT_EQ(r.take(), (Lines{"cut 2", "partial 2", "whole 2", "whole 1", "whole 2"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(ScriptHost, GoingBackRemovesWhatScriptsPutBelowDepthZero) {
    auto m = newMovie(8);
    const auto kid = emptySprite(m);
    m.placeObject2(named(1, kid, "kid"));
    m.showFrame();
    ActionWriter a;
    callMethod(a, "_root", "createEmptyMovieClip", {"low", -100}).act(op::Pop);
    callMethod(a, "_root", "createEmptyMovieClip", {"high", 5}).act(op::Pop);
    // The kid takes a script's depth; the empty clip that was there takes the kid's.
    callMethod(a, "kid", "swapDepths", {5}).act(op::Pop);
    a.gotoFrame(0).act(op::Stop);
    a.getVariable("low").act(op::Trace);
    callMethod(a, "_root", "getInstanceAtDepth", {-16383}).act(op::Trace);
    callMethod(a, "_root", "getInstanceAtDepth", {5}).act(op::Trace);
    callMethod(a, "_root", "getInstanceAtDepth", {-16383});
    a.push({0}).act(op::StackSwap).push({"getDepth"}).act(op::CallMethod).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    r.ticks(1);
    // The frame gone back to places its kid anew where the script's clip was.
    EXPECT_EQ(r.take(), (Lines{"undefined", "_level0.kid", "_level0.kid", "-16383"}));
    EXPECT_TRUE(r.errors.empty());
}

TEST(ScriptHost, GoToMethodsPastTheEndStopOnTheLastFrame) {
    auto m = newMovie(8);
    w::Timeline clip;
    for (int f = 0; f < 3; ++f) {
        doAction(clip, ActionWriter().act(op::Stop));
        clip.showFrame();
    }
    const auto clipId = m.defineSprite(clip);
    m.placeObject2(named(1, clipId, "clip"));
    ActionWriter a;
    for (const double frame : {999.0, 0.0, -2147483648.0, 1.0, 4294967298.0, -99.0}) {
        callMethod(a, "clip", "gotoAndStop", {frame}).act(op::Pop);
        traceMember(a, "clip", "_currentframe");
    }
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"3", "3", "3", "1", "2", "2"}));
}

TEST(ScriptHost, APlacementOnATakenDepthIsLeftOutWithAWarning) {
    auto m = newMovie(8);
    const auto first = tracingSprite(m, "first", 1);
    const auto second = tracingSprite(m, "second", 1);
    m.placeObject2(named(1, first, "first"));
    m.placeObject2(named(1, second, "second"));
    ActionWriter a;
    callMethod(a, "_root", "getInstanceAtDepth", {-16383}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(),
              (Lines{"Warning: Failed to place object at depth 1.", "first 1", "_level0.first"}));
}

TEST(ScriptHost, DuplicateMovieClipConvertsItsNameBeforeItsDepth) {
    auto m = newMovie(8);
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "src"));
    ActionWriter a;
    ActionWriter name;
    name.trace("name").push({"copy"}).act(op::Return);
    ActionWriter depth;
    depth.trace("depth").push({4}).act(op::Return);
    // n = {toString: ...}; d = {valueOf: ...}
    a.push({"n", "toString"}).defineFunction("", {}, name).push({1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.push({"d", "valueOf"}).defineFunction("", {}, depth).push({1}).act(op::InitObject);
    a.act(op::SetVariable);
    a.getVariable("d").getVariable("n").push({2}).getVariable("src");
    a.push({"duplicateMovieClip"}).act(op::CallMethod).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"name", "depth", "_level0.copy"}));
}

TEST(ScriptHost, AGoToPastTheEndShowsTheLastFrameWithoutItsActions) {
    auto m = newMovie(8);
    ActionWriter a;
    a.push({99}).record(op::GotoFrame2, {0});
    a.push({"", 4}).act(op::GetProperty).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    m.showFrame();
    doAction(m, traced("last frame's actions"));
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"3"}));
}

TEST(ScriptHost, AttachMovieHandsTheInitObjectToTheClassesSetters) {
    auto m = newMovie(7);
    const auto id = emptySprite(m);
    exportAs(m, id, "Sym");
    ActionWriter a;
    ActionWriter ctor;
    ctor.trace("ctor");
    a.defineFunction("Ball", {}, ctor);
    // Ball.prototype.addProperty("speed", getter, setter): the setter traces what it gets.
    ActionWriter getter;
    getter.push({1}).act(op::Return);
    ActionWriter setter;
    setter.push({"set "}).getVariable("v").act(op::Add2).act(op::Trace);
    a.defineFunction("", {"v"}, setter).defineFunction("", {}, getter).push({"speed", 3});
    a.getVariable("Ball").push({"prototype"}).act(op::GetMember);
    a.push({"addProperty"}).act(op::CallMethod).act(op::Pop);
    a.getVariable("Ball").push({"Sym", 2}).getVariable("Object");
    a.push({"registerClass"}).act(op::CallMethod).act(op::Pop);
    a.push({"speed", 5, 1}).act(op::InitObject).push({1, "ball", "Sym", 4});
    a.getVariable("_root").push({"attachMovie"}).act(op::CallMethod).act(op::Pop);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"set 5", "ctor"}));
    EXPECT_TRUE(r.errors.empty());
}

// Color works on its clip's colour transform: setRGB replaces the colour and keeps alpha,
// setTransform changes only what its object names, and a Color of no clip does nothing.
TEST(ScriptHost, ColorSetsTheClipsColourTransform) {
    auto m = newMovie(6);
    const auto id = emptySprite(m);
    m.placeObject2(named(1, id, "mc"));
    ActionWriter a;
    a.push({"c"}).getVariable("mc").push({1, "Color"}).act(op::NewObject).act(op::SetVariable);
    callMethod(a, "c", "setRGB", {0x336699}).act(op::Pop);
    callMethod(a, "c", "getRGB").act(op::Trace);
    traceMember(a, "mc", "_alpha");
    a.push({"o", "ra", 50, "ab", -10, 2}).act(op::InitObject).act(op::SetVariable);
    callMethod(a, "c", "setTransform", {}).act(op::Pop);  // no object: nothing changes
    a.push({"o"}).act(op::GetVariable).push({1}).getVariable("c");
    a.push({"setTransform"}).act(op::CallMethod).act(op::Pop);
    a.push({"t"});
    callMethod(a, "c", "getTransform").act(op::SetVariable);
    for (const char* k : {"ra", "rb", "ga", "gb", "aa", "ab"}) {
        traceMember(a, "t", k);
    }
    a.push({"n"}).push({"nowhere", 1, "Color"}).act(op::NewObject).act(op::SetVariable);
    callMethod(a, "n", "setRGB", {0xff0000}).act(op::Pop);
    callMethod(a, "n", "getRGB").act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(),
              (Lines{"3368601", "100", "50", "51", "0", "102", "100", "-10", "undefined"}));
    const DisplayObject* mc = r.player->root().timeline()->childByName("mc", false);
    ASSERT_NE(mc, nullptr);
    EXPECT_EQ(mc->colorTransform().mult, (std::array<std::int16_t, 4>{128, 0, 0, 256}));
    EXPECT_EQ(mc->colorTransform().add, (std::array<std::int16_t, 4>{51, 102, 153, -10}));
}

// What one frame's blocks leave on the stack the next blocks of that frame can pop; the
// next frame starts with none of it.
TEST(ScriptHost, TheSharedStackLastsOneFrame) {
    auto m = newMovie(7);
    ActionWriter leave;
    leave.push({"left in frame 1", "second"});
    doAction(m, leave);
    ActionWriter take;
    take.act(op::Trace);
    doAction(m, take);
    m.showFrame();
    ActionWriter next;
    next.act(op::Trace).act(op::Stop);
    doAction(m, next);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"second"}));
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"undefined"}));
}

// A clip bound to a class knows it as __constructor__, as an instance made by new does.
TEST(ScriptHost, AClipOfARegisteredClassKnowsItsConstructor) {
    auto m = newMovie(7);
    const auto id = emptySprite(m);
    exportAs(m, id, "Sym");
    ActionWriter a;
    ActionWriter ctor;
    // trace(this.__constructor__ === Ball)
    ctor.getVariable("this").push({"__constructor__"}).act(op::GetMember);
    ctor.getVariable("Ball").act(op::StrictEquals).act(op::Trace);
    a.defineFunction("Ball", {}, ctor);
    a.getVariable("Ball")
        .push({"Sym", 2})
        .getVariable("Object")
        .push({"registerClass"})
        .act(op::CallMethod)
        .act(op::Pop);
    callMethod(a, "_root", "attachMovie", {"Sym", "ball", 1}).act(op::Pop);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"true"}));
}

// new flash.<package>.<cls>(args...) left on the stack.
static ActionWriter& construct(ActionWriter& a, const std::string& package, const std::string& cls,
                               std::initializer_list<w::PushItem> args) {
    std::vector<w::PushItem> reversed(args.begin(), args.end());
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) {
        a.push({*it});
    }
    a.push({static_cast<int>(args.size())});
    a.getVariable("flash").push({std::string_view(package)}).act(op::GetMember);
    a.push({std::string_view(cls)}).act(op::NewMethod);
    return a;
}

TEST(ScriptHost, BitmapDrawTakesAClipInItsOwnCoordinatesThroughTheMatrix) {
    auto m = newMovie();
    // A 4 px red square in a clip placed far off at (200, 200): draw ignores where it is.
    const auto square = m.defineShape(zd::test::solidRect(0, 0, 80, 80, {255, 0, 0, 255}));
    w::Timeline inner;
    inner.placeObject2(w::PlaceObject::place(1, square));
    inner.showFrame();
    const auto clip = m.defineSprite(inner);
    auto placed = named(1, clip, "mc");
    placed.matrix = w::Matrix::translation(4000, 4000);
    m.placeObject2(placed);
    ActionWriter a;
    a.push({"b"});
    construct(a, "display", "BitmapData", {8.0, 8.0, true, 0.0});
    a.act(op::SetVariable);
    a.push({"mx"});
    construct(a, "geom", "Matrix", {1.0, 0.0, 0.0, 1.0, 2.0, 2.0});
    a.act(op::SetVariable);
    a.push({"ct"});
    construct(a, "geom", "ColorTransform", {0.0, 1.0, 1.0, 1.0, 0.0, 0.0, 255.0, 0.0});
    a.act(op::SetVariable);
    a.push({"clip"});
    construct(a, "geom", "Rectangle", {0.0, 0.0, 4.0, 8.0});
    a.act(op::SetVariable);
    ActionWriter drawn;
    // b.draw(mc, mx, ct, undefined, clip): blue where the square lands left of x 4 only.
    drawn.push({"clip"}).act(op::GetVariable);
    drawn.push({w::Undefined{}});
    drawn.push({"ct"}).act(op::GetVariable);
    drawn.push({"mx"}).act(op::GetVariable);
    drawn.push({"mc"}).act(op::GetVariable);
    drawn.push({5}).getVariable("b").push({"draw"}).act(op::CallMethod).act(op::Pop);
    for (auto [x, y] : {std::pair{1, 1}, {2, 2}, {3, 5}, {4, 4}, {6, 6}}) {
        drawn.push({static_cast<double>(y), static_cast<double>(x), 2});
        drawn.getVariable("b").push({"getPixel32"}).act(op::CallMethod).act(op::Trace);
    }
    doAction(m, a);
    doAction(m, drawn);
    m.showFrame();
    ScriptedRun r(m.finish());
    // 0xff0000ff as a signed 32-bit number.
    EXPECT_EQ(r.take(), (Lines{"0", "-16776961", "-16776961", "0", "0"}));
}

TEST(ScriptHost, ATurnedLevelWidensTheBoxPointsAreTestedAgainst) {
    auto m = newMovie(8);
    w::ShapeBuilder shape;
    shape.fill1(shape.addFillStyle(w::FillStyle::solid({0, 0, 255, 255})));
    shape.rectangle(0, 0, 400, 200);  // 20 x 10 pixels
    const auto shapeId = m.defineShape(shape);
    auto place = named(1, shapeId, "box");
    place.matrix = w::Matrix::transform(1, 1, 0, 2000, 1000);  // at (100, 50)
    m.placeObject2(place);
    ActionWriter a;
    // A level measures what its movie holds.
    a.getVariable("_root").push({1}).getVariable("_root").push({"getBounds"});
    a.act(op::CallMethod).push({"xMax"}).act(op::GetMember).act(op::Trace);
    setMember(a, "_root", "_rotation", 45);
    // (98, 55) is left of the box in the level, inside the box the turned stage sees.
    callMethod(a, "_root", "hitTest", {98, 55}).act(op::Trace);
    callMethod(a, "_root", "hitTest", {98, 55, true}).act(op::Trace);
    callMethod(a, "_root", "hitTest", {90, 55}).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"120", "true", "false", "false"}));
}

TEST(ScriptHost, EmptyClipsMeasureAtTheLargestTwipsAndWidenFromVersion8) {
    struct Case {
        std::uint8_t version;
        Lines expected;  // in the root's space, then in its own
    };
    for (const Case& c :
         {Case{7, {"6710886.35", "6710886.35"}}, Case{8, {"6710886.4", "6710886.35"}}}) {
        auto m = newMovie(c.version);
        ActionWriter a;
        callMethod(a, "_root", "createEmptyMovieClip", {"e", 1}).act(op::Pop);
        a.getVariable("_root").push({1}).getVariable("e").push({"getBounds"});
        a.act(op::CallMethod).push({"xMin"}).act(op::GetMember).act(op::Trace);
        callMethod(a, "e", "getBounds").push({"yMax"}).act(op::GetMember).act(op::Trace);
        doAction(m, a);
        m.showFrame();
        ScriptedRun r(m.finish());
        EXPECT_EQ(r.take(), c.expected) << "version " << int(c.version);
    }
}

TEST(ScriptHost, PointsMoveOnlyWithTheirOwnNumbers) {
    auto m = newMovie(8);
    w::Timeline inner;
    inner.showFrame();
    const auto innerId = m.defineSprite(inner);
    auto place = named(1, innerId, "clip");
    place.matrix = w::Matrix::transform(1, 1, 0, 2000, 1000);
    m.placeObject2(place);
    ActionWriter a;
    auto movedPoint = [&a](const w::PushItem& y) {
        a.push({"p", "x", 10, "y", y, 2}).act(op::InitObject).act(op::SetVariable);
        a.getVariable("p").push({1}).getVariable("clip").push({"localToGlobal"});
        a.act(op::CallMethod).act(op::Pop);
        a.getVariable("p").push({"x"}).act(op::GetMember).act(op::Trace);
    };
    movedPoint(5);
    movedPoint("5");
    // y only inherited
    a.getVariable("Object").push({"prototype"}).act(op::GetMember).push({"y", 5});
    a.act(op::SetMember);
    a.push({"p", "x", 10, 1}).act(op::InitObject).act(op::SetVariable);
    a.getVariable("p").push({1}).getVariable("clip").push({"localToGlobal"});
    a.act(op::CallMethod).act(op::Pop);
    a.getVariable("p").push({"x"}).act(op::GetMember).act(op::Trace);
    doAction(m, a);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"110", "10", "10"}));
}

TEST(ScriptHost, StageFollowsTheViewOnlyWithNoScaleAndTellsItsListeners) {
    auto m = newMovie();  // 400 x 300
    ActionWriter a;
    traceMember(a, "Stage", "width");
    setMember(a, "Stage", "scaleMode", "sideways");  // not a mode: ignored
    traceMember(a, "Stage", "scaleMode");
    setMember(a, "Stage", "align", "rb");
    traceMember(a, "Stage", "align");
    setMember(a, "Stage", "align", "bTlR");  // top beats bottom, left beats right
    traceMember(a, "Stage", "align");
    // ear = new Object(); ear.onResize = function () { trace("resized " + Stage.width); }
    a.push({std::string_view("ear"), 0, std::string_view("Object")}).act(op::NewObject);
    a.act(op::SetVariable);
    ActionWriter heard;
    heard.push({std::string_view("resized ")}).getVariable("Stage");
    heard.push({std::string_view("width")}).act(op::GetMember).act(op::Add2).act(op::Trace);
    a.getVariable("ear").push({std::string_view("onResize")});
    a.defineFunction("", {}, heard).act(op::SetMember);
    a.getVariable("ear").push({1}).getVariable("Stage");
    a.push({std::string_view("addListener")}).act(op::CallMethod).act(op::Pop);
    doAction(m, a);
    m.showFrame();
    ActionWriter b;
    setMember(b, "Stage", "scaleMode", "NOSCALE");
    traceMember(b, "Stage", "scaleMode");
    traceMember(b, "Stage", "height");
    b.act(op::Stop);
    doAction(m, b);
    m.showFrame();
    ScriptedRun r(m.finish());
    EXPECT_EQ(r.take(), (Lines{"400", "showAll", "BR", "TL"}));

    // The view's size is not the stage's until the movie asks for noScale: no event yet.
    r.host->setViewSize(640, 480);
    r.ticks(1);
    EXPECT_EQ(r.take(), (Lines{"noScale", "480"}));
    r.host->setViewSize(800, 600);
    r.host->setViewSize(800, 600);  // the same size again is no change
    r.ticks(2);
    EXPECT_EQ(r.take(), (Lines{"resized 800"}));
}

TEST(ScriptHost, SandboxTypeFollowsWhereTheMovieCameFrom) {
    auto m = newMovie();
    ActionWriter a;
    a.getVariable("System").push({std::string_view("security")}).act(op::GetMember);
    a.push({std::string_view("sandboxType")}).act(op::GetMember).act(op::Trace);
    a.act(op::Stop);
    doAction(m, a);
    m.showFrame();
    const w::Bytes file = m.finish();
    const struct {
        const char* url;
        const char* expected;
    } cases[] = {
        {"", "localWithFile"},
        {"file:///movies/a.swf", "localWithFile"},
        {"HTTPS://example.com/a.swf", "remote"},
    };
    for (const auto& c : cases) {
        auto movie = MovieData::fromBytes(file);
        StagePlayer player(*movie);
        zd::script::ScriptHost host(player, *movie);
        host.setMovieUrl(c.url);
        std::vector<std::string> lines;
        host.onTrace = [&lines](std::string_view l) { lines.emplace_back(l); };
        player.settle();
        EXPECT_EQ(lines, (Lines{c.expected})) << c.url;
    }
}
