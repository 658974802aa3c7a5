// Movies scripts load into clips and levels: they arrive at a tick, play with their own SWF
// version, start with their address's variables, and come only from below the movie's folder.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/player/DisplayTree.h"
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

using Lines = std::vector<std::string>;

struct LoadedRun {
    LoadedRun(const w::Bytes& file, const std::string& baseDir)
        : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        player->setRootLoops(false);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->setBaseDir(baseDir);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    Lines take() { return std::exchange(lines, {}); }

    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    Lines lines;
};

// One frame tracing "child:" + x + "|" + nothing + "|" + _root. Before SWF 7, undefined
// adds as an empty text.
w::Bytes childMovie(int version) {
    w::MovieWriter m(static_cast<std::uint8_t>(version), w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    a.push({"child:"}).getVariable("x").act(op::Add2).push({"|"}).act(op::Add2);
    a.getVariable("nothing").act(op::Add2).push({"|"}).act(op::Add2);
    a.getVariable("_root").act(op::Add2).act(op::Trace);
    m.rawTag(12, a.bytes());
    m.showFrame();
    return m.finish();
}

// A movie of SWF 8 whose frames run the given actions, one block each.
w::Bytes parentMovie(const std::vector<ActionWriter>& frames) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    for (const ActionWriter& f : frames) {
        m.rawTag(12, f.bytes());
        m.showFrame();
    }
    return m.finish();
}

ActionWriter& createClip(ActionWriter& a, const char* name, int depth) {
    a.push({depth, name, 2}).getVariable("this").push({"createEmptyMovieClip"});
    return a.act(op::CallMethod).act(op::Pop);
}

ActionWriter& traceMember(ActionWriter& a, const char* object, const char* member) {
    return a.getVariable(object).push({member}).act(op::GetMember).act(op::Trace);
}

class MovieLoads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir(dir_.path()).mkdir("movie");
        write("movie/child6.swf", childMovie(6));
        write("movie/child8.swf", childMovie(8));
        write("outside.swf", childMovie(8));
        write("movie/picture.txt", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    }
    void write(const QString& name, const w::Bytes& bytes) {
        QFile f(dir_.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    std::string movieDir() const { return (dir_.path() + "/movie").toStdString(); }

    QTemporaryDir dir_;
};

// Frame 1 loads `child` into a new clip `holder` whose onUnload traces; frame 2 traces
// holder.x; frame 3 traces it and unloads the clip; frame 4 traces it and the clip.
w::Bytes loadAndUnload(const char* child) {
    ActionWriter f1, f2, f3, f4, onUnload;
    createClip(f1, "holder", 1);
    onUnload.trace("unload");
    f1.getVariable("holder").push({"onUnload"}).defineFunction("", {}, onUnload);
    f1.act(op::SetMember);
    f1.push({child, "holder"}).record(op::GetUrl2, {0x40});
    traceMember(f2, "holder", "x");
    traceMember(f3, "holder", "x");
    f3.push({"", "holder"}).record(op::GetUrl2, {0x40});
    traceMember(f4, "holder", "x");
    f4.getVariable("holder").act(op::Trace);
    return parentMovie({f1, f2, f3, f4});
}

TEST_F(MovieLoads, ALoadedMovieReplacesTheClipsContentAndVariablesUntilUnloaded) {
    LoadedRun r(loadAndUnload("child6.swf?x=1"), movieDir());
    EXPECT_EQ(r.take(), Lines{});
    r.player->tick();
    // The frame runs before the load arrives; the old clip's handler then runs once, and the
    // child's first frame sees the address's variable, converting as SWF 6 does.
    EXPECT_EQ(r.take(), (Lines{"undefined", "unload", "child:1||_level0"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"1"}));
    r.player->tick();
    // Unloaded: the clip is still there, empty, with none of the movie's variables.
    EXPECT_EQ(r.take(), (Lines{"undefined", "_level0.holder"}));
}

TEST_F(MovieLoads, EachMovieKeepsItsOwnVersionsConversions) {
    LoadedRun r(loadAndUnload("child8.swf?x=1"), movieDir());
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"undefined", "unload", "child:1|undefined|_level0"}));
}

TEST_F(MovieLoads, MoviesOutsideTheFolderOrUnreadableLeaveTheClipAsItWas) {
    for (const char* child : {"../outside.swf", "missing.swf", "picture.txt"}) {
        LoadedRun r(loadAndUnload(child), movieDir());
        r.player->tick();
        EXPECT_EQ(r.take(), Lines{"undefined"}) << child;
    }
}

// A 2 x 1 PNG: one opaque pixel, one a quarter opaque.
w::Bytes pngFile() {
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, 0xff102030u);
    image.setPixel(1, 0, qRgba(255, 174, 49, 63));
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    image.save(&out, "PNG");
    return w::Bytes(png.begin(), png.end());
}

TEST_F(MovieLoads, AnImageLoadedIntoAClipShowsThereAndAnswersForItsFile) {
    const w::Bytes png = pngFile();
    write("movie/picture.png", png);
    ActionWriter f1, f3;
    createClip(f1, "holder", 1);
    f1.push({"picture.png", "holder"}).record(op::GetUrl2, {0x40});
    for (const char* method : {"getBytesTotal", "getBytesLoaded", "getSWFVersion"}) {
        f3.push({0}).getVariable("holder").push({method}).act(op::CallMethod).act(op::Trace);
    }
    traceMember(f3, "holder", "_width");
    LoadedRun r(parentMovie({f1, ActionWriter(), f3}), movieDir());
    r.player->tick();
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{std::to_string(png.size()), std::to_string(png.size()), "-1", "2"}));
}

TEST(LoadedImages, TranslucentColoursAreScaledDownToWholeLevels) {
    const w::Bytes png = pngFile();
    const CharacterPtr c = zd::script::ScriptHost::loadedImage(std::string(png.begin(), png.end()));
    ASSERT_NE(c, nullptr);
    const auto& bitmap = std::get<ScriptBitmap>(c->def);
    ASSERT_EQ(bitmap.pixels->size(), 2u);
    EXPECT_EQ((*bitmap.pixels)[0], 0xff102030u);
    // 174 * 63 / 255 = 42.99 and 49 * 63 / 255 = 12.1: both cut down.
    EXPECT_EQ((*bitmap.pixels)[1], 0x3f3f2a0cu);
    EXPECT_EQ(zd::script::ScriptHost::loadedImage("not an image"), nullptr);
}

TEST_F(MovieLoads, LevelsComeWithTheirFirstMovieAndGoWithAnEmptyAddress) {
    ActionWriter f1, f2, f3, f4;
    f1.push({"child6.swf", "_level3"}).record(op::GetUrl2, {0x00});
    f1.getVariable("_level3").act(op::Trace);
    f2.getVariable("_level3").act(op::Trace);
    f3.getVariable("_level3").act(op::Trace);
    f3.push({"", "_level3"}).record(op::GetUrl2, {0x00});
    f4.getVariable("_level3").act(op::Trace);
    LoadedRun r(parentMovie({f1, f2, f3, f4}), movieDir());
    EXPECT_EQ(r.take(), Lines{"undefined"});
    r.player->tick();
    // The child's _root is its level.
    EXPECT_EQ(r.take(), (Lines{"undefined", "child:||_level3"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"_level3"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"undefined"}));
}

TEST_F(MovieLoads, AClipLoaderTellsItsListenersEachStageInOrder) {
    // Every event reaches the loader's broadcastMessage: trace(event + " " + clip).
    ActionWriter f1, say;
    say.getVariable("e").push({" "}).act(op::Add2).getVariable("c").act(op::Add2);
    say.act(op::Trace);
    f1.push({"mcl", 0, "MovieClipLoader"}).act(op::NewObject).act(op::SetVariable);
    f1.getVariable("mcl").push({"broadcastMessage"}).defineFunction("", {"e", "c"}, say);
    f1.act(op::SetMember);
    createClip(f1, "a", 1);
    createClip(f1, "b", 2);
    createClip(f1, "c", 3);
    f1.push({"b", "../outside.swf", 2}).getVariable("mcl").push({"loadClip"});
    f1.act(op::CallMethod).act(op::Trace);
    f1.push({"a", "child8.swf", 2}).getVariable("mcl").push({"loadClip"});
    f1.act(op::CallMethod).act(op::Trace);
    f1.push({"nowhere", "child8.swf", 2}).getVariable("mcl").push({"loadClip"});
    f1.act(op::CallMethod).act(op::Trace);
    f1.push({"c", "picture.txt", 2}).getVariable("mcl").push({"loadClip"});
    f1.act(op::CallMethod).act(op::Trace);
    LoadedRun r(parentMovie({f1, ActionWriter()}), movieDir());
    EXPECT_EQ(r.take(), (Lines{"true", "true", "false", "true"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{
                            "onLoadError _level0.b",
                            "onLoadStart _level0.a",
                            "onLoadProgress _level0.a",
                            "onLoadComplete _level0.a",
                            "onLoadStart _level0.c",
                            "onLoadProgress _level0.c",
                            "onLoadComplete _level0.c",
                            "child:undefined|undefined|_level0",
                            "onLoadInit _level0.c",
                            "onLoadInit _level0.a",
                        }));
}

TEST(MovieSources, RangesReadOnlyTheirOwnMovie) {
    const w::Bytes own = childMovie(8);
    const auto main = MovieData::fromBytes(own);
    Dictionary dictionary;
    DisplayContext context(dictionary, main->data(), {}, 8);
    const MovieSource* loaded = context.addSource(MovieData::fromBytes(childMovie(6)), "c.swf");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->version, 6);
    EXPECT_EQ(&context.sourceOf(loaded->global({0, 4})), loaded);
    EXPECT_EQ(context.bytes(loaded->global({0, 3})).size(), 3u);
    EXPECT_EQ(context.bytes(loaded->global({0, 3})).data(), loaded->data.data());
    // Past its end, or in a source that does not exist, a range reads nothing.
    EXPECT_TRUE(context.bytes(loaded->global({0, loaded->data.size() + 1})).empty());
    EXPECT_TRUE(context.bytes({2 * kSourceStride, 2 * kSourceStride + 1}).empty());
    EXPECT_FALSE(context.bytes({0, 3}).empty());
    // Something that is not a movie is not taken in.
    const std::uint8_t junk[] = {'n', 'o', 'p', 'e'};
    EXPECT_EQ(context.addSource(MovieData::fromBytes(junk), "junk"), nullptr);
}

}  // namespace
