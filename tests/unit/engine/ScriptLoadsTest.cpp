// Loads scripts ask for, on the player: variables arrive at a later tick on the clip asked
// for, in the text encoding of the movie's version, and only from below the movie's folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

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

struct LoadRun {
    LoadRun(const w::Bytes& file, const std::string& baseDir) : movie(MovieData::fromBytes(file)) {
        player = std::make_unique<StagePlayer>(*movie);
        player->setRootLoops(false);
        host = std::make_unique<zd::script::ScriptHost>(*player, *movie);
        host->setBaseDir(baseDir);
        host->onTrace = [this](std::string_view l) { lines.emplace_back(l); };
        player->settle();
    }
    std::vector<std::string> take() { return std::exchange(lines, {}); }

    std::unique_ptr<MovieData> movie;
    std::unique_ptr<StagePlayer> player;
    std::unique_ptr<zd::script::ScriptHost> host;
    std::vector<std::string> lines;
};

class ScriptLoads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QDir(dir_.path()).mkdir("movie");
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::string movieDir() const { return (dir_.path() + "/movie").toStdString(); }

    // Frame 1 asks for `file` into the root (loadVariables(file, this)) and traces `a`; the
    // two frames after trace `a` again; each frame also defines onData to say it ran.
    w::Bytes movie(int version, const std::string& file) {
        w::MovieWriter m(static_cast<std::uint8_t>(version), w::Rect{0, 8000, 0, 6000}, 24);
        ActionWriter first;
        ActionWriter onData;
        onData.trace("data");
        first.push({"onData"}).defineFunction("", {}, onData).act(op::SetVariable);
        first.push({std::string_view(file), "this"}).act(op::GetVariable);
        first.record(op::GetUrl2, {0xC0});  // load variables into a target
        first.getVariable("a").act(op::Trace);
        m.rawTag(12, first.bytes());
        m.showFrame();
        for (int frame = 2; frame <= 3; ++frame) {
            ActionWriter later;
            later.getVariable("a").act(op::Trace);
            m.rawTag(12, later.bytes());
            m.showFrame();
        }
        return m.finish();
    }

    QTemporaryDir dir_;
};

TEST_F(ScriptLoads, VariablesArriveAtTheNextTickThenOnDataRuns) {
    write("movie/vars.txt", "a=one%20two&b=%C3%A4");
    LoadRun r(movie(8, "vars.txt"), movieDir());
    EXPECT_EQ(r.take(), (Lines{"undefined"}));
    r.player->tick();
    // The frame's actions run before the load is handed over in the same tick.
    EXPECT_EQ(r.take(), (Lines{"undefined", "data"}));
    r.player->tick();
    EXPECT_EQ(r.take(), (Lines{"one two"}));
}

TEST_F(ScriptLoads, OldMoviesReadTextInTheWesternCodePageAndNewOnesSkipTheMark) {
    write("movie/latin.txt", "a=\xC4\xD6");
    LoadRun old(movie(5, "latin.txt"), movieDir());
    old.player->tick();
    old.player->tick();
    EXPECT_EQ(old.take().back(), "\xC3\x84\xC3\x96");  // ÄÖ in UTF-8
    write("movie/bom.txt",
          "\xEF\xBB\xBF"
          "a=x");
    LoadRun fresh(movie(8, "bom.txt"), movieDir());
    fresh.player->tick();
    fresh.player->tick();
    EXPECT_EQ(fresh.take().back(), "x");
}

TEST_F(ScriptLoads, FilesOutsideTheFolderOrMissingSetNothingAndCallNoOne) {
    write("secret.txt", "a=secret");
    for (const std::string& file : {std::string("../secret.txt"), std::string("missing.txt")}) {
        LoadRun r(movie(8, file), movieDir());
        r.player->tick();
        r.player->tick();
        EXPECT_EQ(r.take(), (Lines{"undefined", "undefined", "undefined"})) << file;
    }
}

TEST_F(ScriptLoads, PagesOpenInNormalisedWindowsWithTheFormNewestFirst) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    a.setVariable("a", 1).setVariable("b", "x y");
    a.push({"http://example.com/", "BLANK"}).record(op::GetUrl2, {0x02});  // POST, a window
    a.push({"http://example.com/", "_Blanket"}).record(op::GetUrl2, {0x00});
    m.rawTag(12, a.bytes());
    m.showFrame();
    w::Bytes file = m.finish();
    auto movie = MovieData::fromBytes(file);
    StagePlayer player(*movie);
    zd::script::ScriptHost host(player, *movie);
    std::vector<zd::script::UrlRequest> asked;
    host.onUrl = [&asked](const zd::script::UrlRequest& r) { asked.push_back(r); };
    player.settle();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].window, "_blank");
    EXPECT_EQ(asked[0].method, zd::avm1::UrlMethod::Post);
    EXPECT_EQ(asked[0].variables, "b=x+y&a=1&%24version=LNX+32%2C0%2C0%2C0");
    EXPECT_EQ(asked[1].window, "_Blanket");
    EXPECT_EQ(asked[1].variables, "");
}

TEST_F(ScriptLoads, SharedObjectsStayInTheirFolderAndWithinTheAllowance) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    m.showFrame();
    w::Bytes file = m.finish();
    auto movie = MovieData::fromBytes(file);
    StagePlayer player(*movie);
    zd::script::ScriptHost host(player, *movie);
    EXPECT_FALSE(host.writeSharedObject("save", "bytes"));  // no folder: nothing kept
    const QString folder = dir_.path() + "/shared";
    host.setSharedObjectDir(folder.toStdString());
    EXPECT_TRUE(host.writeSharedObject("save", "first"));
    EXPECT_TRUE(host.writeSharedObject("levels/one", "second"));
    EXPECT_EQ(host.readSharedObject("save"), std::optional<std::string>("first"));
    EXPECT_EQ(host.readSharedObject("levels/one"), std::optional<std::string>("second"));
    EXPECT_TRUE(QFile::exists(folder + "/levels/one.sol"));
    for (const char* refused : {"../escape", "a/../../b", "/abs", "a//b", "a\\..\\b"}) {
        EXPECT_FALSE(host.writeSharedObject(refused, "x")) << refused;
        EXPECT_FALSE(host.readSharedObject(refused)) << refused;
    }
    EXPECT_FALSE(QFile::exists(dir_.path() + "/escape.sol"));
    const std::string big(zd::script::ScriptHost::kSharedObjectLimit + 1, 'x');
    EXPECT_FALSE(host.writeSharedObject("save", big));
    EXPECT_EQ(host.readSharedObject("save"), std::optional<std::string>("first"));
    EXPECT_TRUE(host.writeSharedObject("save", ""));  // cleared: the file goes
    EXPECT_FALSE(QFile::exists(folder + "/save.sol"));
}

TEST_F(ScriptLoads, AFlushedSharedObjectIsThereForTheNextRun) {
    w::MovieWriter m(8, w::Rect{0, 8000, 0, 6000}, 24);
    ActionWriter a;
    // so = SharedObject.getLocal("s"); trace(so.data.n); so.data.n = 7; trace(so.flush())
    a.push({"so", "s", 1}).getVariable("SharedObject").push({"getLocal"});
    a.act(op::CallMethod).act(op::SetVariable);
    a.getVariable("so").push({"data"}).act(op::GetMember).push({"n"}).act(op::GetMember);
    a.act(op::Trace);
    a.getVariable("so").push({"data"}).act(op::GetMember).push({"n", 7}).act(op::SetMember);
    a.push({0}).getVariable("so").push({"flush"}).act(op::CallMethod).act(op::Trace);
    m.rawTag(12, a.bytes());
    m.showFrame();
    const w::Bytes file = m.finish();
    const std::string folder = (dir_.path() + "/shared").toStdString();
    for (const char* expected : {"undefined", "7"}) {
        auto movie = MovieData::fromBytes(file);
        StagePlayer player(*movie);
        zd::script::ScriptHost host(player, *movie);
        host.setSharedObjectDir(folder);
        std::vector<std::string> lines;
        host.onTrace = [&lines](std::string_view l) { lines.emplace_back(l); };
        player.settle();
        EXPECT_EQ(lines, (Lines{expected, "true"}));
    }
}

}  // namespace
